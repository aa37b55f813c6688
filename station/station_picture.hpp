// What the stations' pictures share: the whole window in blue with no
// cursor, and the message row, the window's last but one.
#pragma once

#include <algorithm>
#include <string>
#include <utility>

#include "console.hpp"

// The picture begun anew at the window's size; returns that size
// (columns, rows).
inline std::pair<int, int> beginStationPicture() {
  const auto [columns, rows] = Console::windowSize();
  Console::resizeScreen(columns, rows);
  Console::setBackground(Blue);
  Console::clear();
  Console::setCursorShape(CursorShape::Hidden);
  return {columns, rows};
}

// `text` in yellow from column 2, cut at the window's edge; nothing when
// it is empty.
inline void drawMessageRow(const std::string& text, int columns, int rows) {
  if (text.empty()) return;
  Console::setTextColor(Yellow);
  Console::moveTo(2, rows - 1);
  Console::print("%s", text.substr(0, static_cast<std::size_t>(std::max(0, columns - 2))).c_str());
}
