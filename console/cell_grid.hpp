// CellGrid: the console's screen, a plain value type.
//
// width x height cells, each one byte (a code page 865 character) and one
// attribute byte (see console_types.hpp). Coordinates here are 0-based
// (x = column, y = row); at() on a cell outside the grid is undefined, use
// contains() first. Two grids are equal when their sizes and every cell match.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Cell {
  std::uint8_t byte = ' ';
  std::uint8_t attribute = 0x07;
  // A space or a 0 byte: nothing shows but the background.
  bool blank() const { return byte == ' ' || byte == 0; }
  friend bool operator==(const Cell&, const Cell&) = default;
};

class CellGrid {
 public:
  CellGrid() = default;
  CellGrid(int width, int height, Cell fill = Cell{});

  int width() const { return width_; }
  int height() const { return height_; }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  Cell& at(int x, int y) { return cells_[static_cast<std::size_t>(y * width_ + x)]; }
  const Cell& at(int x, int y) const { return cells_[static_cast<std::size_t>(y * width_ + x)]; }

  // The last row and the rightmost column (0-based) holding a cell that is
  // not blank, within the first `columns` x `rows` cells; -1 when none is.
  struct Extent {
    int lastColumn = -1;
    int lastRow = -1;
  };
  Extent drawnExtent(int columns, int rows) const;

  void fill(Cell cell);
  // Moves rows top+1..bottom of the columns left..right up by one row and
  // fills row bottom with `blank` (inclusive 0-based edges).
  void scrollUp(int left, int top, int right, int bottom, Cell blank);

  // The characters as UTF-8 glyphs, one line per row ending in '\n',
  // every row at full width.
  std::string text() const;
  // One row's characters as UTF-8 glyphs, columns from..to-1.
  std::string rowText(int y, int from = 0, int to = -1) const;
  // The attributes as two hex digits per cell, rows separated by '\n'.
  std::string attributes() const;

  friend bool operator==(const CellGrid&, const CellGrid&) = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<Cell> cells_;
};
