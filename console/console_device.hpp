// ConsoleDevice: the console's screen model and its text writer.
//
// Holds the cell grid, the current attribute, the cursor and its shape, and
// implements the console operations on them. Positions given to moveTo are
// 1-based (column, row) inside the text window, which is the whole screen;
// a position outside it is ignored. write() runs the console writer: BEL
// beeps, BS moves left (not past the left edge), LF moves down keeping the
// column, CR returns to the left edge, every other byte is a glyph; it wraps
// after the right edge and scrolls the window when the cursor passes the
// bottom. After every operation that changed what the face shows, the face
// is asked to present the new state once.
#pragma once

#include <cstdint>
#include <string_view>

#include "cell_grid.hpp"
#include "console_face.hpp"
#include "console_types.hpp"

class ConsoleDevice {
 public:
  // width and height in cells (at least 1 each); attribute is the start colour.
  ConsoleDevice(int width, int height, std::uint8_t attribute, ConsoleFace& face);

  void clear();
  void moveTo(int column, int row);
  void setTextColor(int color);
  void setBackground(int color);
  void setCursorShape(CursorShape shape);
  void write(std::string_view bytes);
  int readKey();
  std::optional<int> readKeyWithin(int timeoutMs);
  // The window's size (the grid's when the face has no window).
  std::pair<int, int> windowSize() const;
  // A new, blank grid of width x height cells (at least 1 each) in the
  // current attribute; the cursor goes to the top left.
  void resize(int width, int height);
  void wakeOn(std::intptr_t handle) { face_.wakeOn(handle); }
  Blocks blocks() const { return face_.blocks(); }

  const CellGrid& grid() const { return grid_; }
  int cursorX() const { return x_; }  // 0-based
  int cursorY() const { return y_; }  // 0-based
  std::uint8_t attribute() const { return attribute_; }
  CursorShape cursorShape() const { return shape_; }

 private:
  void present(int bells = 0);

  CellGrid grid_;
  std::uint8_t attribute_;
  int x_ = 0;
  int y_ = 0;
  CursorShape shape_ = CursorShape::Normal;
  // The text window, 0-based inclusive edges; the program never changes it.
  int left_;
  int top_;
  int right_;
  int bottom_;
  ConsoleFace& face_;
};
