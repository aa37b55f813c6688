#include "console_device.hpp"

#include <algorithm>

ConsoleDevice::ConsoleDevice(int width, int height, std::uint8_t attribute, ConsoleFace& face)
    : grid_(width, height, Cell{' ', attribute}),
      attribute_(attribute),
      left_(0),
      top_(0),
      right_(width - 1),
      bottom_(height - 1),
      face_(face) {}

void ConsoleDevice::present(int bells) {
  face_.present(ScreenState{grid_, x_, y_, shape_, bells});
}

void ConsoleDevice::clear() {
  for (int y = top_; y <= bottom_; ++y) {
    for (int x = left_; x <= right_; ++x) grid_.at(x, y) = Cell{' ', attribute_};
  }
  x_ = left_;
  y_ = top_;
  present();
}

void ConsoleDevice::moveTo(int column, int row) {
  const int x = left_ + column - 1;
  const int y = top_ + row - 1;
  if (y < top_ || y > bottom_ || x < left_ || x > right_) return;
  if (x == x_ && y == y_) return;
  x_ = x;
  y_ = y;
  // A hidden cursor's place is not visible, so there is nothing to show yet.
  if (shape_ != CursorShape::Hidden) present();
}

void ConsoleDevice::setTextColor(int color) {
  attribute_ = static_cast<std::uint8_t>((attribute_ & 0x70) | (color & 0x8F));
}

void ConsoleDevice::setBackground(int color) {
  attribute_ = static_cast<std::uint8_t>((attribute_ & 0x8F) | ((color * 16) & 0x70));
}

void ConsoleDevice::setCursorShape(CursorShape shape) {
  if (shape == shape_) return;
  shape_ = shape;
  present();
}

void ConsoleDevice::write(std::string_view bytes) {
  int bells = 0;
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    switch (b) {
      case 7:
        ++bells;
        break;
      case 8:
        if (x_ > left_) --x_;
        break;
      case 10:
        ++y_;
        break;
      case 13:
        x_ = left_;
        break;
      default:
        grid_.at(x_, y_) = Cell{b, attribute_};
        ++x_;
        break;
    }
    if (x_ > right_) {
      x_ = left_;
      ++y_;
    }
    if (y_ > bottom_) {
      grid_.scrollUp(left_, top_, right_, bottom_, Cell{' ', attribute_});
      --y_;
    }
  }
  present(bells);
}

int ConsoleDevice::readKey() {
  return face_.nextKeyCode();
}

std::optional<int> ConsoleDevice::readKeyWithin(int timeoutMs) {
  return face_.nextKeyCodeWithin(timeoutMs);
}

std::pair<int, int> ConsoleDevice::windowSize() const {
  const auto size = face_.windowSize();
  return size.first > 0 ? size : std::pair<int, int>{grid_.width(), grid_.height()};
}

void ConsoleDevice::resize(int width, int height) {
  grid_ = CellGrid(std::max(width, 1), std::max(height, 1), Cell{' ', attribute_});
  left_ = 0;
  top_ = 0;
  right_ = grid_.width() - 1;
  bottom_ = grid_.height() - 1;
  x_ = 0;
  y_ = 0;
  present();
}
