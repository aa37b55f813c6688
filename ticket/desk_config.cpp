#include "desk_config.hpp"

#include "code_page.hpp"
#include "printer_link.hpp"

namespace {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// UTF-8 (or single bytes that are not UTF-8) as code page 865 bytes;
// control characters dropped, characters the code page lacks as '?'.
std::string codePageText(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    char32_t c = b;
    std::size_t length = 1;
    if (b >= 0xC0 && b < 0xF8) {
      length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      c = b & (0x7F >> length);
      for (std::size_t k = 1; k < length; ++k) {
        const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        if ((next & 0xC0) != 0x80) {
          length = 1;
          c = b;
          break;
        }
        c = (c << 6) | (next & 0x3F);
      }
    }
    i += length;
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) continue;
    const auto byte = c < 0x7F ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(c)) : byteOf(c);
    out += static_cast<char>(byte ? *byte : '?');
  }
  return out;
}

// The text as typed, less its control characters: a printer's name goes to
// CUPS in UTF-8 (and to Windows as UTF-16), never through the code page.
std::string withoutControls(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b != 0x7F) out += c;
  }
  return out;
}

}  // namespace

DeskConfig parseDeskConfig(std::string_view text) {
  DeskConfig config;
  // Notepad's byte order mark.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int number = 0;
  while (!text.empty()) {
    // A line ends at LF, CR LF or a lone CR.
    const auto end = text.find_first_of("\r\n");
    const std::string_view line = trimmed(text.substr(0, end));
    std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end != std::string_view::npos && text[end] == '\r' && next < text.size() && text[next] == '\n') {
      ++next;
    }
    text.remove_prefix(next);
    ++number;
    if (line.empty() || line[0] == '#') continue;
    const auto equals = line.find('=');
    const std::string_view name = trimmed(line.substr(0, equals));
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : trimmed(line.substr(equals + 1));
    if (equals != std::string_view::npos && name == "printer") {
      config.printer = withoutControls(value);
      const std::string problem = printerAddressProblem(config.printer);
      if (!problem.empty()) {
        config.problems.push_back("morvalis.conf linje " + std::to_string(number) + ": " + problem);
        config.printer.clear();
      }
    } else if (equals != std::string_view::npos && name == "klinik") {
      config.clinic = codePageText(value);
    } else {
      config.problems.push_back("morvalis.conf linje " + std::to_string(number) +
                                " forstaas ikke");
    }
  }
  return config;
}

DeskConfig readDeskConfig(FileSystem& files, const std::string& path) {
  std::string text, error;
  switch (readWholeFile(files, path, text, error)) {
    case ReadOutcome::Missing:
      return {};
    case ReadOutcome::Failed: {
      DeskConfig config;
      config.problems.push_back("morvalis.conf kan ikke laeses");
      return config;
    }
    case ReadOutcome::Read:
      break;
  }
  return parseDeskConfig(text);
}
