#include "terminal_renderer.hpp"

#include <algorithm>

#include "code_page.hpp"

namespace {

// Console colour numbers have blue in bit 0 and red in bit 2; ANSI the reverse.
int ansiOf(int color) {
  return ((color & 1) << 2) | (color & 2) | ((color & 4) >> 2);
}

void appendNumber(std::string& out, int n) {
  out += std::to_string(n);
}

void appendCup(std::string& out, int x, int y) {
  out += "\x1b[";
  appendNumber(out, y + 1);
  if (x > 0) {
    out += ';';
    appendNumber(out, x + 1);
  }
  out += 'H';
}

}  // namespace

std::uint32_t TerminalRenderer::keyOf(Cell cell) {
  if (cell.blank()) return ' ' | static_cast<std::uint32_t>(cell.attribute & 0xF0) << 8;
  return cell.byte | static_cast<std::uint32_t>(cell.attribute) << 8;
}

void TerminalRenderer::invalidate(int columns, int rows) {
  columns_ = std::max(columns, 0);
  rows_ = std::max(rows, 0);
  valid_ = false;
}

void TerminalRenderer::paintEverything(const CellGrid& grid, std::string& out) {
  shown_.assign(static_cast<std::size_t>(columns_ * rows_), kUnknown);
  out += "\x1b[0m";
  sgr_ = -1;
  if (options_.eraseUsesBackground && grid.width() > 0) {
    // Erase in the background most of the screen has, so only what stands
    // on it needs sending.
    const Cell corner{' ', grid.at(0, 0).attribute};
    setAttribute(corner, out);
    std::fill(shown_.begin(), shown_.end(), keyOf(corner));
  }
  out += "\x1b[2J";
  termX_ = termY_ = -1;
  shape_ = -1;
  valid_ = true;
}

void TerminalRenderer::setAttribute(Cell cell, std::string& out) {
  const int attribute = cell.attribute;
  if (sgr_ == attribute) return;
  const bool fgChanges = sgr_ < 0 || ((sgr_ & 0x0F) != (attribute & 0x0F));
  const bool bgChanges = sgr_ < 0 || ((sgr_ & 0xF0) != (attribute & 0xF0));
  if (!bgChanges && cell.blank()) return;  // a blank shows no text colour
  out += "\x1b[";
  if (fgChanges) {
    const int fg = attribute & 0x0F;
    // The Linux console takes 90-97 as bold with the colour and keeps the
    // bold through a later 30-37: there normal intensity is said outright.
    if (options_.linuxCursor && (fg & 8) == 0 && (sgr_ < 0 || (sgr_ & 0x08) != 0)) out += "22;";
    appendNumber(out, ((fg & 8) ? 90 : 30) + ansiOf(fg & 7));
    if (bgChanges) out += ';';
  }
  if (bgChanges) {
    const int bg = (attribute >> 4) & 0x0F;
    appendNumber(out, ((bg & 8) ? 100 : 40) + ansiOf(bg & 7));
  }
  out += 'm';
  sgr_ = attribute;
}

void TerminalRenderer::writeCell(Cell cell, std::string& out) {
  setAttribute(cell, out);
  appendUtf8(out, glyphOf(cell.byte));
  shown_[static_cast<std::size_t>(termY_ * columns_ + termX_)] = keyOf(cell);
  ++termX_;
  // After the last column the terminal's cursor waits to wrap; say nothing
  // about where it is and address it afresh next time.
  if (termX_ >= columns_) termX_ = termY_ = -1;
}

void TerminalRenderer::moveCursor(const CellGrid& grid, int x, int y, std::string& out) {
  if (termY_ == y && termX_ == x) return;
  if (termY_ == y && termX_ >= 0 && termX_ < x) {
    // A short gap of cells already shown in the current colours costs less
    // to write again than to jump over.
    const int gap = x - termX_;
    bool cheap = gap <= 3;
    for (int i = termX_; cheap && i < x; ++i) {
      const Cell c = grid.at(i, y);
      cheap = c.byte < 0x80 && (c.attribute == sgr_ ||
                                (c.blank() && sgr_ >= 0 && (c.attribute & 0xF0) == (sgr_ & 0xF0)));
    }
    if (cheap) {
      while (termX_ < x) writeCell(grid.at(termX_, y), out);
      return;
    }
    out += "\x1b[";
    if (gap > 1) appendNumber(out, gap);
    out += 'C';
  } else {
    appendCup(out, x, y);
  }
  termX_ = x;
  termY_ = y;
}

void TerminalRenderer::setShape(CursorShape shape, std::string& out) {
  if (shape_ == static_cast<int>(shape)) return;
  switch (shape) {
    case CursorShape::Hidden:
      out += "\x1b[?25l";
      break;
    case CursorShape::Normal:
      if (options_.linuxCursor) {
        out += "\x1b[?2c";
      } else if (options_.shapeCursor) {
        out += "\x1b[4 q";
      }
      out += "\x1b[?25h";
      break;
    case CursorShape::Solid:
      if (options_.linuxCursor) {
        out += "\x1b[?6c";
      } else if (options_.shapeCursor) {
        out += "\x1b[2 q";
      }
      out += "\x1b[?25h";
      break;
  }
  shape_ = static_cast<int>(shape);
}

void TerminalRenderer::render(const ScreenState& state, std::string& out) {
  const CellGrid& grid = state.grid;
  if (!valid_) paintEverything(grid, out);
  painted_ = true;
  const int height = std::min(rows_, grid.height());
  const int width = std::min(columns_, grid.width());
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* shownRow = &shown_[static_cast<std::size_t>(y * columns_)];
    for (int x = 0; x < width; ++x) {
      const Cell cell = grid.at(x, y);
      if (keyOf(cell) == shownRow[x]) continue;
      moveCursor(grid, x, y, out);
      writeCell(cell, out);
    }
  }
  setShape(state.shape, out);
  if (state.shape != CursorShape::Hidden && state.cursorX < columns_ && state.cursorY < rows_) {
    moveCursor(grid, state.cursorX, state.cursorY, out);
  }
  out.append(static_cast<std::size_t>(std::max(state.bells, 0)), '\a');
}

void TerminalRenderer::restoreCursor(std::string& out, int cursorStyle) const {
  out += "\x1b[0m";
  if (options_.linuxCursor) {
    out += "\x1b[?0c";
  } else if (options_.shapeCursor && cursorStyle >= 0) {
    out += "\x1b[";
    appendNumber(out, cursorStyle);
    out += " q";
  }
  out += "\x1b[?25h";
}

void TerminalRenderer::restore(const CellGrid& grid, std::string& out, int cursorStyle) {
  restoreCursor(out, cursorStyle);
  if (!painted_) return;
  const auto [lastColumn, lastRow] = grid.drawnExtent(columns_, rows_);
  // The picture was drawn on an erase in its background colour, which
  // covered the whole terminal: give the rest back in the default colours
  // (SGR 0 above), so the shell does not print on blue.
  if (lastColumn + 1 < columns_) {
    for (int y = 0; y <= lastRow; ++y) {
      appendCup(out, lastColumn + 1, y);
      out += "\x1b[K";
    }
  }
  if (lastRow + 1 < rows_) {
    appendCup(out, 0, lastRow + 1);
    out += "\x1b[J";
  }
  // On the last row of the picture, then one line down: the shell's prompt
  // gets a fresh line and the picture stays (scrolling up if it must).
  appendCup(out, 0, std::max(lastRow, 0));
  out += "\r\n";
}
