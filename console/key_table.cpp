#include "key_table.hpp"

#include <array>
#include <optional>
#include <string>

namespace keys {
namespace {

enum Column { Normal = 0, Shifted = 1, Ctrl = 2, Alt = 3 };

enum Key {
  F1,
  F2,
  F3,
  F4,
  F5,
  F6,
  F7,
  F8,
  F9,
  F10,
  F11,
  F12,
  Home,
  Up,
  PageUp,
  Left,
  Right,
  End,
  Down,
  PageDown,
  Insert,
  Delete,
  KeyCount
};

// Second codes of the extended keys, by column (Normal, Shift, Ctrl, Alt).
constexpr std::array<std::array<std::uint8_t, 4>, KeyCount> kExtended = {{
    {0x3B, 0x54, 0x5E, 0x68}, {0x3C, 0x55, 0x5F, 0x69}, {0x3D, 0x56, 0x60, 0x6A},
    {0x3E, 0x57, 0x61, 0x6B}, {0x3F, 0x58, 0x62, 0x6C}, {0x40, 0x59, 0x63, 0x6D},
    {0x41, 0x5A, 0x64, 0x6E}, {0x42, 0x5B, 0x65, 0x6F}, {0x43, 0x5C, 0x66, 0x70},
    {0x44, 0x5D, 0x67, 0x71}, {0x85, 0x87, 0x89, 0x8B}, {0x86, 0x88, 0x8A, 0x8C},
    {0x47, 0x47, 0x77, 0x97}, {0x48, 0x48, 0x8D, 0x98}, {0x49, 0x49, 0x84, 0x99},
    {0x4B, 0x4B, 0x73, 0x9B}, {0x4D, 0x4D, 0x74, 0x9D}, {0x4F, 0x4F, 0x75, 0x9F},
    {0x50, 0x50, 0x91, 0xA0}, {0x51, 0x51, 0x76, 0xA1}, {0x52, 0x52, 0x92, 0xA2},
    {0x53, 0x53, 0x93, 0xA3},
}};

void extended(std::vector<int>& out, int second) {
  out.push_back(0);
  out.push_back(second);
}

void emit(std::vector<int>& out, Key key, Column column) {
  extended(out, kExtended[key][column]);
}

// The column of an xterm modifier parameter (1..16), or of rxvt's extra ESC.
Column columnOf(int modifier, bool alt) {
  const int bits = modifier - 1;
  if (alt || (bits & 2) || (bits & 8)) return Alt;
  if (bits & 4) return Ctrl;
  if (bits & 1) return Shifted;
  return Normal;
}

bool validModifier(int modifier) {
  return modifier >= 1 && modifier <= 16;
}

// Parameters as numbers; an empty one is 0 ("absent"). Empty when the
// parameter bytes hold anything but digits and ';' (private markers,
// sub-parameters, intermediates): no key looks like that.
std::optional<std::vector<int>> numbers(std::string_view body) {
  std::vector<int> params;
  if (body.empty()) return params;
  params.push_back(0);
  for (const char c : body) {
    if (c == ';') {
      params.push_back(0);
    } else if (c >= '0' && c <= '9') {
      if (params.back() > 9999) return std::nullopt;
      params.back() = params.back() * 10 + (c - '0');
    } else {
      return std::nullopt;
    }
  }
  return params;
}

// The key of "CSI n ~" (xterm, VTE, rxvt, the Linux console, tmux, screen),
// and the column forced by rxvt's F13..F20, which are its Shift+F3..F10.
// rxvt's Shift+F1 and Shift+F2 send F11's and F12's bytes, so they read as those.
std::optional<std::pair<Key, Column>> tildeKey(int n) {
  if (n >= 11 && n <= 15) return std::pair{Key(F1 + n - 11), Normal};
  if (n >= 17 && n <= 21) return std::pair{Key(F6 + n - 17), Normal};
  if (n >= 31 && n <= 34) return std::pair{Key(F7 + n - 31), Shifted};
  switch (n) {
    case 1:
    case 7:
      return std::pair{Home, Normal};
    case 2:
      return std::pair{Insert, Normal};
    case 3:
      return std::pair{Delete, Normal};
    case 4:
    case 8:
      return std::pair{End, Normal};
    case 5:
      return std::pair{PageUp, Normal};
    case 6:
      return std::pair{PageDown, Normal};
    case 23:
      return std::pair{F11, Normal};
    case 24:
      return std::pair{F12, Normal};
    case 25:
      return std::pair{F3, Shifted};
    case 26:
      return std::pair{F4, Shifted};
    case 28:
      return std::pair{F5, Shifted};
    case 29:
      return std::pair{F6, Shifted};
    default:
      return std::nullopt;
  }
}

// The key of a letter final: CSI X, CSI 1;m X and SS3 X.
std::optional<Key> letterKey(char final) {
  switch (final) {
    case 'A':
      return Up;
    case 'B':
      return Down;
    case 'C':
      return Right;
    case 'D':
      return Left;
    case 'H':
      return Home;
    case 'F':
      return End;
    case 'P':
      return F1;
    case 'Q':
      return F2;
    case 'R':
      return F3;
    case 'S':
      return F4;
    default:
      return std::nullopt;
  }
}

// st sends editing commands for its editing keys: "CSI P" is Delete, not
// F1, and "CSI M" is Ctrl+Delete, complete without the mouse's three bytes.
std::optional<std::pair<Key, Column>> stEditingKey(std::string_view body, char final) {
  struct Entry {
    std::string_view body;
    char final;
    Key key;
    Column column;
  };
  static constexpr Entry kEntries[] = {
      {"", 'P', Delete, Normal},  {"2", 'K', Delete, Shifted}, {"", 'M', Delete, Ctrl},
      {"4", 'h', Insert, Normal}, {"4", 'l', Insert, Shifted}, {"", 'L', Insert, Ctrl},
      {"", 'K', End, Shifted},    {"", 'J', End, Ctrl},        {"2", 'J', Home, Shifted},
  };
  for (const Entry& e : kEntries) {
    if (e.body == body && e.final == final) return std::pair{e.key, e.column};
  }
  return std::nullopt;
}

// BIOS scan codes, given with Alt for letters (Alt+A is 0, 0x1E).
constexpr std::array<std::uint8_t, 26> kLetterScan = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,
};

// SS3 finals of a keypad left in application mode by someone else: they
// still give the keypad's characters.
std::optional<int> keypadCharacter(char final) {
  if (final >= 'p' && final <= 'y') return '0' + (final - 'p');
  switch (final) {
    case 'M':
      return '\r';
    case 'j':
      return '*';
    case 'k':
      return '+';
    case 'm':
      return '-';
    case 'n':
      return '.';
    case 'o':
      return '/';
    case 'X':
      return '=';
    default:
      return std::nullopt;
  }
}

// rxvt's Shift+arrows (CSI a..d) and Ctrl+arrows (SS3 a..d).
std::optional<Key> rxvtArrow(char final) {
  switch (final) {
    case 'a':
      return Up;
    case 'b':
      return Down;
    case 'c':
      return Right;
    case 'd':
      return Left;
    default:
      return std::nullopt;
  }
}

void tildeFamily(const std::vector<int>& params, char final, bool alt, std::vector<int>& out) {
  // rxvt's $ ^ @ finals carry the modifier themselves: one parameter only.
  const std::size_t most = final == '~' ? 2 : 1;
  if (params.empty() || params.size() > most) return;
  const auto key = tildeKey(params[0]);
  const int modifier = params.size() > 1 ? params[1] : 1;
  if (!key || !validModifier(modifier)) return;
  Column column = columnOf(modifier, alt);
  if (column == Normal) column = key->second;
  if (final == '$' && column == Normal) column = Shifted;
  if ((final == '^' || final == '@') && column != Alt) column = Ctrl;
  emit(out, key->first, column);
}

void letterFamily(Key key, const std::vector<int>& params, bool alt, std::vector<int>& out) {
  // Only "CSI X", "CSI 1 X" and "CSI 1 ; m X": a report such as the cursor
  // position "CSI 24 ; 1 R" or the editing command "CSI 2 P" is not a key.
  if (params.size() > 2) return;
  if (!params.empty() && params[0] != 0 && params[0] != 1) return;
  const int modifier = params.size() > 1 ? params[1] : 1;
  if (!validModifier(modifier)) return;
  emit(out, key, columnOf(modifier, alt));
}

}  // namespace

void altKey(std::uint8_t byte, std::vector<int>& out) {
  if (byte >= 'a' && byte <= 'z') return extended(out, kLetterScan[byte - 'a']);
  if (byte >= 'A' && byte <= 'Z') return extended(out, kLetterScan[byte - 'A']);
  if (byte >= '1' && byte <= '9') return extended(out, 0x78 + (byte - '1'));
  switch (byte) {
    case '0':
      return extended(out, 0x81);
    case '-':
      return extended(out, 0x82);
    case '=':
      return extended(out, 0x83);
    case '[':
      return extended(out, 0x1A);
    case ']':
      return extended(out, 0x1B);
    case ';':
      return extended(out, 0x27);
    case '\'':
      return extended(out, 0x28);
    case '`':
      return extended(out, 0x29);
    case '\\':
      return extended(out, 0x2B);
    case ',':
      return extended(out, 0x33);
    case '.':
      return extended(out, 0x34);
    case '/':
      return extended(out, 0x35);
    case 0x08:
    case 0x7F:
      return extended(out, 0x0E);
    case '\t':
      return extended(out, 0xA5);
    case '\r':
      return extended(out, 0xA6);
    case ' ':
      out.push_back(' ');
      return;
    default:
      return;  // no Alt entry: nothing
  }
}

void csiKey(std::string_view body, char final, bool alt, std::vector<int>& out) {
  if (const auto st = stEditingKey(body, final)) {
    return emit(out, st->first, alt ? Alt : st->second);
  }
  const auto params = numbers(body);
  if (!params) return;
  if (final == '~' || final == '$' || final == '^' || final == '@') {
    return tildeFamily(*params, final, alt, out);
  }
  if (const auto key = letterKey(final)) return letterFamily(*key, *params, alt, out);
  if (!params->empty()) return;
  if (final == 'Z') return extended(out, alt ? 0xA5 : 0x0F);  // Shift+Tab
  if (const auto arrow = rxvtArrow(final)) emit(out, *arrow, alt ? Alt : Shifted);
}

void ss3Key(std::string_view body, char final, bool alt, std::vector<int>& out) {
  const auto params = numbers(body);
  if (!params || params->size() > 1) return;
  const int modifier = params->empty() ? 1 : (*params)[0];
  if (!validModifier(modifier)) return;
  if (const auto key = letterKey(final)) return emit(out, *key, columnOf(modifier, alt));
  if (!params->empty()) return;
  if (const auto arrow = rxvtArrow(final)) return emit(out, *arrow, alt ? Alt : Ctrl);
  if (const auto c = keypadCharacter(final)) out.push_back(*c);
}

void linuxFunctionKey(char final, bool alt, std::vector<int>& out) {
  if (final >= 'A' && final <= 'E') emit(out, Key(F1 + (final - 'A')), alt ? Alt : Normal);
}

}  // namespace keys
