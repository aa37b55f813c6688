#include "big_text.hpp"

namespace {

constexpr char kFull = '\xDB', kUpper = '\xDF', kLower = '\xDC';

// 5 x 7; '#' is a pixel.
const char* const* glyphOf(char c) {
  static const char* const digits[10][7] = {
      {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "},  // no slash: never read as Ø
      {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "},
      {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"},
      {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "},
      {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "},
      {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "},
      {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "},
      {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "},
      {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "},
      {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "},
  };
  static const char* const R[7] = {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"};
  static const char* const u[7] = {"     ", "     ", "#   #", "#   #", "#   #", "#  ##", " ## #"};
  static const char* const m[7] = {"     ", "     ", "## # ", "# # #", "# # #", "#   #", "#   #"};
  if (c >= '0' && c <= '9') return digits[c - '0'];
  if (c == 'R') return R;
  if (c == 'u') return u;
  if (c == 'm') return m;
  static const char* const dash[7] = {"     ", "     ", "     ", " ### ", "     ", "     ", "     "};
  if (c == '-') return dash;
  return nullptr;
}

}  // namespace

std::vector<std::string> BigText::rows(const std::string& text, int width, int height) {
  const int columns = BigText::columns(text, width);
  std::vector<std::string> out(static_cast<std::size_t>(rowCount(height)),
                               std::string(static_cast<std::size_t>(columns), ' '));
  const auto pixel = [&](int x, int y) {
    // x, y in pixels of the whole line; the gap column and the rows below
    // the glyph are blank.
    const int slot = x / (kGlyphWidth + 1), inGlyph = x % (kGlyphWidth + 1);
    if (y >= kGlyphHeight || inGlyph == kGlyphWidth) return false;
    const char* const* glyph = glyphOf(text[static_cast<std::size_t>(slot)]);
    return glyph && glyph[y][inGlyph] == '#';
  };
  for (int row = 0; row < rowCount(height); ++row) {
    for (int column = 0; column < columns; ++column) {
      const int x = column / width;
      const bool upper = pixel(x, 2 * row / height), lower = pixel(x, (2 * row + 1) / height);
      out[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] =
          upper && lower ? kFull : upper ? kUpper : lower ? kLower : ' ';
    }
  }
  return out;
}
