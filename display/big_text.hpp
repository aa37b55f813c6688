// BigText: a line of text in large glyphs made of the code page's block
// characters (full block, upper and lower half block), which every terminal
// and the Linux console draw.
//
// The font has the digits (a zero without a slash, never read as Ø), "R",
// "u", "m", "-" and the blank, 5 x 7 pixels each,
// one blank pixel column between glyphs. A pixel is `width` columns wide
// and `height` half rows high (a half block is one pixel of height 1), so
// with width == height the pixels look square in the usual cell of twice
// its width in height. Characters the font lacks come out blank.
#pragma once

#include <string>
#include <vector>

struct BigText {
  static constexpr int kGlyphWidth = 5;
  static constexpr int kGlyphHeight = 7;

  // The rows of `text`, each bigColumns() bytes of the code page.
  static std::vector<std::string> rows(const std::string& text, int width, int height);
  static int columns(const std::string& text, int width) {
    return text.empty() ? 0
                        : static_cast<int>(text.size()) * (kGlyphWidth + 1) * width - width;
  }
  static int rowCount(int height) { return (kGlyphHeight * height + 1) / 2; }
};
