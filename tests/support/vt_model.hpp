// A small terminal model for tests: replays the bytes a program sends to a
// terminal (cursor addressing, SGR colours, erase, cursor visibility, UTF-8)
// into a cell grid, so output can be checked by its effect.
//
// Colours are read back into console attribute bytes; SGR 0/39/49 give the
// default light grey on black. Erases (ED, EL) fill in the current colours. Unknown sequences are
// recorded in `unknown`. Raw control bytes other than CR, LF and BEL are counted in `rawControls`.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cell_grid.hpp"

class VtModel {
 public:
  VtModel(int columns, int rows);

  void feed(std::string_view bytes);

  CellGrid screen;
  int x = 0;  // 0-based cursor
  int y = 0;
  bool cursorVisible = true;
  int cursorStyle = 0;  // DECSCUSR value last set
  int bells = 0;
  int rawControls = 0;
  std::vector<std::string> unknown;

 private:
  void csi(const std::string& params, char final);
  void sgr(const std::string& params);
  void put(char32_t c);

  std::uint8_t attribute_ = 0x07;
  bool wrapPending_ = false;
  std::string pending_;  // an unfinished escape sequence or UTF-8 character
};

// Visually equal: same glyphs and backgrounds everywhere, and the same text
// colour wherever a glyph is not blank. Columns/rows beyond either grid are
// not compared. On a difference, `where` says the first one.
bool looksTheSame(const CellGrid& expected, const CellGrid& actual, std::string* where = nullptr);
