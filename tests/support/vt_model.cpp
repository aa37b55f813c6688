#include "vt_model.hpp"

#include <algorithm>

#include "code_page.hpp"

namespace {

int consoleColorOf(int ansi) {
  return ((ansi & 1) << 2) | (ansi & 2) | ((ansi & 4) >> 2);
}

std::vector<int> numbers(const std::string& params) {
  std::vector<int> out{0};
  for (const char c : params) {
    if (c == ';') {
      out.push_back(0);
    } else if (c >= '0' && c <= '9') {
      out.back() = out.back() * 10 + (c - '0');
    }
  }
  return out;
}

char32_t decodeUtf8(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x80) return b0;
  int n = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
  char32_t c = b0 & (0x3F >> n);
  for (int i = 1; i <= n; ++i) c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
  return c;
}

std::size_t utf8Length(unsigned char lead) {
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

}  // namespace

VtModel::VtModel(int columns, int rows) : screen(columns, rows) {}

void VtModel::put(char32_t c) {
  if (wrapPending_) {
    wrapPending_ = false;
    x = 0;
    if (++y >= screen.height()) {
      screen.scrollUp(0, 0, screen.width() - 1, screen.height() - 1, Cell{' ', attribute_});
      y = screen.height() - 1;
    }
  }
  // The box glyph that stands for 0x00 and the space are the same on screen.
  const auto byte = c == U' ' ? std::optional<std::uint8_t>(' ') : byteOf(c);
  std::uint8_t b = byte ? *byte : '?';
  if (!byte) {
    for (int i = 0; i < 32; ++i) {
      if (glyphOf(static_cast<std::uint8_t>(i)) == c) b = static_cast<std::uint8_t>(i);
    }
    if (glyphOf(0x7F) == c) b = 0x7F;
  }
  screen.at(x, y) = Cell{b, attribute_};
  if (x == screen.width() - 1) {
    wrapPending_ = true;
  } else {
    ++x;
  }
}

void VtModel::sgr(const std::string& params) {
  const auto n = numbers(params);
  for (std::size_t i = 0; i < n.size(); ++i) {
    const int p = n[i];
    if (p == 0) {
      attribute_ = 0x07;
    } else if (p >= 30 && p <= 37) {
      attribute_ = static_cast<std::uint8_t>((attribute_ & 0xF0) | consoleColorOf(p - 30));
    } else if (p >= 90 && p <= 97) {
      attribute_ = static_cast<std::uint8_t>((attribute_ & 0xF0) | 8 | consoleColorOf(p - 90));
    } else if (p >= 40 && p <= 47) {
      attribute_ = static_cast<std::uint8_t>((attribute_ & 0x0F) | consoleColorOf(p - 40) << 4);
    } else if (p >= 100 && p <= 107) {
      attribute_ =
          static_cast<std::uint8_t>((attribute_ & 0x0F) | (8 | consoleColorOf(p - 100)) << 4);
    } else if (p == 22) {
      // Normal intensity: the colour that follows says its own.
    } else if (p == 39) {
      attribute_ = static_cast<std::uint8_t>((attribute_ & 0xF0) | 0x07);
    } else if (p == 49) {
      attribute_ = static_cast<std::uint8_t>(attribute_ & 0x0F);
    } else if ((p == 38 || p == 48) && i + 2 < n.size() && n[i + 1] == 5) {
      // 256-colour form of the 16 basic colours, as tmux may report them.
      const int c = n[i + 2];
      const int console = c < 8 ? consoleColorOf(c) : c < 16 ? 8 | consoleColorOf(c - 8) : 7;
      if (p == 38) {
        attribute_ = static_cast<std::uint8_t>((attribute_ & 0xF0) | console);
      } else {
        attribute_ = static_cast<std::uint8_t>((attribute_ & 0x0F) | console << 4);
      }
      i += 2;
    } else {
      unknown.push_back("SGR " + std::to_string(p));
    }
  }
}

void VtModel::csi(const std::string& params, char final) {
  const auto n = numbers(params);
  const int first = n[0];
  if (!params.empty() && params[0] == '?') {
    if (params == "?25" && final == 'h') {
      cursorVisible = true;
    } else if (params == "?25" && final == 'l') {
      cursorVisible = false;
    } else if (final != 'c') {
      unknown.push_back("CSI " + params + final);
    }
    return;
  }
  wrapPending_ = false;
  switch (final) {
    case 'H':
      y = std::clamp((n.size() > 0 && first > 0 ? first : 1) - 1, 0, screen.height() - 1);
      x = std::clamp((n.size() > 1 && n[1] > 0 ? n[1] : 1) - 1, 0, screen.width() - 1);
      break;
    case 'C':
      x = std::min(x + std::max(first, 1), screen.width() - 1);
      break;
    case 'm':
      sgr(params);
      break;
    case 'J':  // erases take the current background, as terminals with "bce" do
      if (first == 2) {
        screen.fill(Cell{' ', attribute_});
      } else if (first == 0) {
        for (int xx = x; xx < screen.width(); ++xx) screen.at(xx, y) = Cell{' ', attribute_};
        for (int yy = y + 1; yy < screen.height(); ++yy) {
          for (int xx = 0; xx < screen.width(); ++xx) screen.at(xx, yy) = Cell{' ', attribute_};
        }
      } else {
        unknown.push_back("CSI " + params + final);
      }
      break;
    case 'K':
      if (first == 0) {
        for (int xx = x; xx < screen.width(); ++xx) screen.at(xx, y) = Cell{' ', attribute_};
      } else {
        unknown.push_back("CSI " + params + final);
      }
      break;
    case 'q':
      if (!params.empty() && params.back() == ' ')
        cursorStyle = first;
      else
        unknown.push_back("CSI " + params + final);
      break;
    default:
      unknown.push_back("CSI " + params + final);
  }
}

void VtModel::feed(std::string_view bytes) {
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (!pending_.empty()) {
      pending_ += ch;
      if (pending_[0] == '\x1b') {
        if (pending_.size() == 2 && pending_[1] != '[') {
          unknown.push_back("ESC " + pending_.substr(1));
          pending_.clear();
        } else if (pending_.size() > 2 && b >= 0x40 && b <= 0x7E) {
          csi(pending_.substr(2, pending_.size() - 3), ch);
          pending_.clear();
        }
      } else if (pending_.size() == utf8Length(static_cast<unsigned char>(pending_[0]))) {
        put(decodeUtf8(pending_));
        pending_.clear();
      }
      continue;
    }
    if (b == 0x1b || b >= 0x80) {
      pending_ = ch;
    } else if (b == '\r') {
      x = 0;
      wrapPending_ = false;
    } else if (b == '\n') {
      wrapPending_ = false;
      if (++y >= screen.height()) {
        screen.scrollUp(0, 0, screen.width() - 1, screen.height() - 1, Cell{' ', attribute_});
        y = screen.height() - 1;
      }
    } else if (b == '\a') {
      ++bells;
    } else if (b < 0x20 || b == 0x7F) {
      ++rawControls;
    } else {
      put(b);
    }
  }
}

bool looksTheSame(const CellGrid& expected, const CellGrid& actual, std::string* where) {
  const int w = std::min(expected.width(), actual.width());
  const int h = std::min(expected.height(), actual.height());
  for (int yy = 0; yy < h; ++yy) {
    for (int xx = 0; xx < w; ++xx) {
      const Cell e = expected.at(xx, yy);
      const Cell a = actual.at(xx, yy);
      const bool blank = (e.byte == ' ' || e.byte == 0) && (a.byte == ' ' || a.byte == 0);
      const bool same = blank ? (e.attribute & 0xF0) == (a.attribute & 0xF0)
                              : e.byte == a.byte && e.attribute == a.attribute;
      if (!same) {
        if (where) {
          *where = "column " + std::to_string(xx + 1) + ", row " + std::to_string(yy + 1) +
                   ": expected byte " + std::to_string(e.byte) + " attribute " +
                   std::to_string(e.attribute) + ", got byte " + std::to_string(a.byte) +
                   " attribute " + std::to_string(a.attribute);
        }
        return false;
      }
    }
  }
  return true;
}
