// The stations' message row, the window's last but one: `text` in yellow
// from column 2, cut at the window's edge; nothing when it is empty.
#pragma once

#include <algorithm>
#include <string>

#include "console.hpp"

inline void drawMessageRow(const std::string& text, int columns, int rows) {
  if (text.empty()) return;
  Console::setTextColor(Yellow);
  Console::moveTo(2, rows - 1);
  Console::print("%s", text.substr(0, static_cast<std::size_t>(std::max(0, columns - 2))).c_str());
}
