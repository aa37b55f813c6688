#include "terminal_replies.hpp"

#include <charconv>

namespace {

std::optional<int> leadingNumber(std::string_view s) {
  int value = 0;
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc{} || end == s.data()) return std::nullopt;
  return value;
}

}  // namespace

void TerminalReplies::take(std::string_view reply) {
  if (reply.starts_with("\x1b[>") && reply.ends_with('c')) {
    terminalType = leadingNumber(reply.substr(3));
    const auto semicolon = reply.find(';');
    if (semicolon != std::string_view::npos) {
      terminalVersion = leadingNumber(reply.substr(semicolon + 1));
    }
  } else if (reply.starts_with("\x1b[?") && reply.ends_with('c')) {
    allAnswered = true;
  } else if (reply.starts_with("\x1bP1$r") && reply.ends_with(" q")) {
    const auto style = leadingNumber(reply.substr(5));
    if (style && *style >= 0 && *style <= 6) cursorStyle = style;
  }
}

bool TerminalReplies::erasesInBackground(std::string_view term) const {
  constexpr int kGnuScreen = 83;
  if (terminalType) return *terminalType != kGnuScreen;
  return !term.starts_with("screen");
}

int TerminalReplies::restoreStyle() const {
  if (!cursorStyle) return -1;
  // kitty: "1 ; 4000 + version" in its secondary device attributes.
  const bool kitty = terminalType == 1 && terminalVersion && *terminalVersion >= 4000;
  return kitty ? 0 : *cursorStyle;
}
