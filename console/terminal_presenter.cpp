#include "terminal_presenter.hpp"

#include <algorithm>
#include <array>
#include <string_view>

void TerminalPresenter::resize(int columns, int rows) {
  columns_ = columns;
  rows_ = rows;
  renderer_.invalidate(columns, rows);
  messageShown_ = false;
  dirty_ = true;
}

void TerminalPresenter::setOptions(TerminalRenderer::Options options) {
  renderer_.setOptions(options);
  resize(columns_, rows_);
}

void TerminalPresenter::changed(const ScreenState& state) {
  dirty_ = true;
  if (state.bells <= 0) return;
  if (tooSmall()) {
    pending_.append(static_cast<std::size_t>(state.bells), '\a');
  } else {
    renderer_.render(state, pending_);
  }
}

std::string TerminalPresenter::take(const ScreenState& state) {
  if (dirty_) {
    if (tooSmall()) {
      if (!messageShown_) showTooSmall(pending_);
    } else {
      renderer_.render(ScreenState{state.grid, state.cursorX, state.cursorY, state.shape, 0},
                       pending_);
    }
    dirty_ = false;
  }
  std::string out;
  out.swap(pending_);
  return out;
}

std::string TerminalPresenter::handBack(const ScreenState& state, int cursorStyle) {
  std::string out = take(state);
  if (tooSmall()) {
    // Only the message shows: leave a blank terminal in its default
    // colours, with the user's cursor.
    out += "\x1b[0m\x1b[2J\x1b[H";
    renderer_.restoreCursor(out, cursorStyle);
  } else {
    renderer_.restore(state.grid, out, cursorStyle);
  }
  return out;
}

void TerminalPresenter::showTooSmall(std::string& out) {
  // In the screen's colours (yellow on blue) and its Danish without ae, oe, aa.
  const std::string size = std::to_string(columns_) + " x " + std::to_string(rows_);
  const std::array<std::string, 3> lines = {
      "Vinduet er for lille",
      std::string(minimum_.program) + " skal bruge mindst " + std::to_string(minimum_.columns) +
          " x " + std::to_string(minimum_.rows),
      "Vinduet er nu " + size,
  };
  out += "\x1b[0;93;44m\x1b[?25l\x1b[2J";
  if (!renderer_.options().eraseUsesBackground) {
    // The erase left the default colours: paint the blue row by row.
    for (int y = 0; y < rows_; ++y) {
      out += "\x1b[" + std::to_string(y + 1) + "H" + std::string(columns_, ' ');
    }
  }
  const int top = std::max(0, (rows_ - static_cast<int>(lines.size())) / 2);
  for (std::size_t i = 0; i < lines.size() && top + static_cast<int>(i) < rows_; ++i) {
    const std::string_view line =
        std::string_view(lines[i]).substr(0, static_cast<std::size_t>(std::max(columns_, 0)));
    const int left = std::max(0, (columns_ - static_cast<int>(line.size())) / 2);
    out += "\x1b[" + std::to_string(top + static_cast<int>(i) + 1) + ";" +
           std::to_string(left + 1) + "H";
    out += line;
  }
  messageShown_ = true;
}
