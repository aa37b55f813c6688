#include "key_decoder.hpp"

#include <array>
#include <optional>

#include "code_page.hpp"

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

void emitKey(std::vector<int>& out, Key key, Column column) {
  extended(out, kExtended[key][column]);
}

// The xterm modifier parameter: 1 + (1 shift, 2 alt, 4 ctrl, 8 meta).
// Alt wins over Ctrl, Ctrl over Shift, as the keyboard table chooses.
Column columnOf(int modifier, bool alt) {
  const int bits = modifier > 1 ? modifier - 1 : 0;
  if (alt || (bits & 2) || (bits & 8)) return Alt;
  if (bits & 4) return Ctrl;
  if (bits & 1) return Shifted;
  return Normal;
}

// The key of "CSI n ~" (xterm, Linux console, rxvt, tmux, screen), and the
// column forced by rxvt's F13..F20, which are its Shift+F3..F10.
std::optional<std::pair<Key, Column>> tildeKey(int n) {
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
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return std::pair{Key(F1 + n - 11), Normal};
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return std::pair{Key(F6 + n - 17), Normal};
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
    case 31:
    case 32:
    case 33:
    case 34:
      return std::pair{Key(F7 + n - 31), Shifted};
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

// Parameters of a CSI or SS3 body: decimal numbers separated by ';'.
// Empty when the body holds anything else (private markers, intermediates).
std::optional<std::vector<int>> parameters(const std::string& body) {
  std::vector<int> params{0};
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

// BIOS scan codes, given with Alt for letters (Alt+A is 0, 0x1E).
constexpr std::array<std::uint8_t, 26> kLetterScan = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,
};

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

bool isFinal(std::uint8_t byte) {
  return byte >= 0x40 && byte <= 0x7E;
}

void decodeCsi(const std::string& body, char final, bool alt, std::vector<int>& out) {
  const auto params = parameters(body);
  if (!params) return;
  const int first = (*params)[0];
  const int modifier = params->size() > 1 ? (*params)[1] : 1;
  if (final == '~' || final == '$' || final == '^' || final == '@') {
    const auto key = tildeKey(first);
    if (!key) return;
    Column column = columnOf(modifier, alt);
    if (column == Normal) column = key->second;
    if (final == '$' && column == Normal) column = Shifted;
    if ((final == '^' || final == '@') && column != Alt) column = Ctrl;
    return emitKey(out, key->first, column);
  }
  if (const auto key = letterKey(final)) return emitKey(out, *key, columnOf(modifier, alt));
  switch (final) {
    case 'Z':
      return extended(out, alt ? 0xA5 : 0x0F);  // Shift+Tab
    case 'a':
      return emitKey(out, Up, alt ? Alt : Shifted);
    case 'b':
      return emitKey(out, Down, alt ? Alt : Shifted);
    case 'c':
      return emitKey(out, Right, alt ? Alt : Shifted);
    case 'd':
      return emitKey(out, Left, alt ? Alt : Shifted);
    default:
      return;  // unknown: consumed, nothing
  }
}

void decodeSs3(const std::string& body, char final, bool alt, std::vector<int>& out) {
  const auto params = parameters(body);
  if (!params) return;
  const int modifier = (*params)[0] > 0 ? (*params)[0] : 1;
  if (const auto key = letterKey(final)) return emitKey(out, *key, columnOf(modifier, alt));
  switch (final) {
    case 'a':
      return emitKey(out, Up, alt ? Alt : Ctrl);
    case 'b':
      return emitKey(out, Down, alt ? Alt : Ctrl);
    case 'c':
      return emitKey(out, Right, alt ? Alt : Ctrl);
    case 'd':
      return emitKey(out, Left, alt ? Alt : Ctrl);
    default:
      break;
  }
  if (const auto c = keypadCharacter(final)) out.push_back(*c);
}

}  // namespace

KeyDecoder::Wait KeyDecoder::wait() const {
  switch (state_) {
    case State::Ground:
      return Wait::Forever;
    case State::Escape:
    case State::EscapeEscape:
      return Wait::Short;
    default:
      return Wait::Long;
  }
}

void KeyDecoder::reset() {
  state_ = State::Ground;
  alt_ = false;
  sequence_.clear();
}

void KeyDecoder::feed(std::uint8_t byte, std::vector<int>& out) {
  switch (state_) {
    case State::Ground:
      return ground(byte, out);
    case State::Escape:
      return escape(byte, out);
    case State::EscapeEscape:
      if (byte == '[' || byte == 'O') {
        alt_ = true;
        state_ = byte == '[' ? State::Csi : State::Ss3;
        return;
      }
      // The first ESC was the Escape key; the second is a prefix.
      out.push_back(27);
      state_ = State::Escape;
      return escape(byte, out);
    case State::Csi:
      return csi(byte, out);
    case State::Ss3:
      return ss3(byte, out);
    case State::LinuxFn:
      if (byte >= 'A' && byte <= 'E') emitKey(out, Key(F1 + (byte - 'A')), alt_ ? Alt : Normal);
      if (byte < 0x20 || byte >= 0x80) return abortAt(byte, out);
      return reset();
    case State::Utf8:
      return utf8(byte, out);
    case State::Discard:
      if (byte < 0x20 || byte >= 0x80) return abortAt(byte, out);
      if (isFinal(byte)) reset();
      return;
  }
}

void KeyDecoder::timeout(std::vector<int>& out) {
  switch (state_) {
    case State::Escape:
      out.push_back(27);
      break;
    case State::EscapeEscape:
      out.push_back(27);
      out.push_back(27);
      break;
    case State::Csi:
    case State::Ss3:
      // ESC [ or ESC O and then silence: the user typed Alt+[ or Alt+O.
      if (sequence_.empty()) {
        if (alt_) out.push_back(27);
        altKey(state_ == State::Csi ? '[' : 'O', out);
      }
      break;
    default:
      break;  // a broken sequence or character: dropped
  }
  reset();
}

void KeyDecoder::ground(std::uint8_t byte, std::vector<int>& out) {
  if (byte == 0x1B) {
    state_ = State::Escape;
  } else if (byte == 0x7F) {
    out.push_back(8);  // what terminals send for Backspace
  } else if (byte == 0x00) {
    extended(out, 0x03);  // Ctrl+Space
  } else if (byte < 0x80) {
    out.push_back(byte);
  } else {
    startUtf8(byte);
  }
}

void KeyDecoder::escape(std::uint8_t byte, std::vector<int>& out) {
  if (byte == 0x1B) {
    state_ = State::EscapeEscape;
  } else if (byte == '[') {
    state_ = State::Csi;
  } else if (byte == 'O') {
    state_ = State::Ss3;
  } else if (byte >= 0x80) {
    alt_ = true;  // Alt with a character outside ASCII: no entry, dropped
    startUtf8(byte);
  } else {
    altKey(byte, out);
    reset();
  }
}

void KeyDecoder::csi(std::uint8_t byte, std::vector<int>& out) {
  if (byte < 0x20 || byte >= 0x80) return abortAt(byte, out);
  if (byte == '[' && sequence_.empty()) {
    state_ = State::LinuxFn;
    return;
  }
  // rxvt ends its Shift forms with '$', which the standard counts as an
  // intermediate byte; it is a final after the parameter digits here.
  const bool rxvtShift = byte == '$' && !sequence_.empty() &&
                         sequence_.find_first_not_of("0123456789;") == std::string::npos;
  if (isFinal(byte) || rxvtShift) {
    decodeCsi(sequence_, static_cast<char>(byte), alt_, out);
    return reset();
  }
  if (sequence_.size() >= kMaxSequence) {
    state_ = State::Discard;
    sequence_.clear();
    return;
  }
  sequence_ += static_cast<char>(byte);
}

void KeyDecoder::ss3(std::uint8_t byte, std::vector<int>& out) {
  if (byte < 0x20 || byte >= 0x80) return abortAt(byte, out);
  if (isFinal(byte)) {
    decodeSs3(sequence_, static_cast<char>(byte), alt_, out);
    return reset();
  }
  if (sequence_.size() >= kMaxSequence) {
    state_ = State::Discard;
    sequence_.clear();
    return;
  }
  sequence_ += static_cast<char>(byte);
}

void KeyDecoder::startUtf8(std::uint8_t byte) {
  if (byte >= 0xC2 && byte <= 0xDF) {
    codePoint_ = byte & 0x1F;
    continuationBytes_ = 1;
    minimum_ = 0x80;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    codePoint_ = byte & 0x0F;
    continuationBytes_ = 2;
    minimum_ = 0x800;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    codePoint_ = byte & 0x07;
    continuationBytes_ = 3;
    minimum_ = 0x10000;
  } else {
    return reset();  // not a lead byte: dropped
  }
  state_ = State::Utf8;
}

void KeyDecoder::utf8(std::uint8_t byte, std::vector<int>& out) {
  if ((byte & 0xC0) != 0x80) return abortAt(byte, out);
  codePoint_ = (codePoint_ << 6) | (byte & 0x3F);
  if (--continuationBytes_ > 0) return;
  const bool alt = alt_;
  const char32_t c = codePoint_;
  reset();
  if (alt || c < minimum_) return;
  if (const auto b = byteOf(c)) out.push_back(static_cast<signed char>(*b));
}

void KeyDecoder::abortAt(std::uint8_t byte, std::vector<int>& out) {
  reset();
  ground(byte, out);
}
