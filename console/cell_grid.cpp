#include "cell_grid.hpp"

#include <algorithm>

#include "code_page.hpp"

CellGrid::CellGrid(int width, int height, Cell fill)
    : width_(width), height_(height), cells_(static_cast<std::size_t>(width * height), fill) {}

CellGrid::Extent CellGrid::drawnExtent(int columns, int rows) const {
  Extent extent;
  for (int y = 0; y < std::min(rows, height_); ++y) {
    for (int x = 0; x < std::min(columns, width_); ++x) {
      if (at(x, y).blank()) continue;
      extent.lastRow = y;
      extent.lastColumn = std::max(extent.lastColumn, x);
    }
  }
  return extent;
}

void CellGrid::fill(Cell cell) {
  std::fill(cells_.begin(), cells_.end(), cell);
}

void CellGrid::scrollUp(int left, int top, int right, int bottom, Cell blank) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x <= right; ++x) at(x, y) = at(x, y + 1);
  }
  for (int x = left; x <= right; ++x) at(x, bottom) = blank;
}

std::string CellGrid::rowText(int y, int from, int to) const {
  if (to < 0) to = width_;
  std::string out;
  for (int x = from; x < to; ++x) appendUtf8(out, glyphOf(at(x, y).byte));
  return out;
}

std::string CellGrid::text() const {
  std::string out;
  for (int y = 0; y < height_; ++y) {
    out += rowText(y);
    out += '\n';
  }
  return out;
}

std::string CellGrid::attributes() const {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      out += hex[at(x, y).attribute >> 4];
      out += hex[at(x, y).attribute & 0x0F];
    }
    out += '\n';
  }
  return out;
}
