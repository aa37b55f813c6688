// TerminalRenderer: the bytes that make a VT/xterm-style terminal show a
// console screen.
//
// It remembers what the terminal shows, so each render sends only the cells
// whose glyph or colour changed (a blank cell's text colour is invisible and
// does not count), then the cursor shape, the cursor position (only while the
// cursor is visible) and the beeps. Nothing but BEL is ever sent as a raw
// control byte: every cell goes out as the UTF-8 of its code page glyph.
// Colours map bit 0 (blue) and bit 2 (red) of the console's colour numbers
// onto ANSI order; bright text is 90-97, bright background 100-107.
//
// invalidate() forgets the terminal's contents (start-up, resize): the next
// render erases the terminal and paints every cell that fits into its
// columns x rows. Cells beyond the terminal's size are not sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console_face.hpp"

class TerminalRenderer {
 public:
  struct Options {
    // The terminal erases in the current background colour ("bce"); else
    // every cell is painted after an erase.
    bool eraseUsesBackground = true;
    // The Linux console: it sets the cursor shape with CSI ? n c, not
    // DECSCUSR, and needs normal intensity said after a bright colour.
    bool linuxCursor = false;
    // DECSCUSR may be sent: the terminal said which style the user has, so
    // it can be given back. Without, the cursor keeps the terminal's own
    // shape and is only hidden and shown.
    bool shapeCursor = false;
  };

  explicit TerminalRenderer(Options options) : options_(options) {}

  void invalidate(int columns, int rows);
  void render(const ScreenState& state, std::string& out);
  // Gives the terminal back: the picture (the rows and columns up to the
  // last non-blank cell) stays; every cell right of and below it is erased
  // in the default colours; the cursor is visible in `cursorStyle` (the
  // DECSCUSR value the user had; -1 when unknown: the terminal's default)
  // on a fresh line below the picture.
  void restore(const CellGrid& grid, std::string& out, int cursorStyle = -1);
  // The default colours and the user's cursor, visible (see restore).
  void restoreCursor(std::string& out, int cursorStyle) const;
  bool painted() const { return painted_; }
  const Options& options() const { return options_; }
  void setOptions(Options options) { options_ = options; }

  int columns() const { return columns_; }
  int rows() const { return rows_; }

 private:
  static constexpr std::uint32_t kUnknown = 0x10000;
  static std::uint32_t keyOf(Cell cell);

  void paintEverything(const CellGrid& grid, std::string& out);
  void moveCursor(const CellGrid& grid, int x, int y, std::string& out);
  void setAttribute(Cell cell, std::string& out);
  void writeCell(Cell cell, std::string& out);
  void setShape(CursorShape shape, std::string& out);

  Options options_;
  int columns_ = 0;
  int rows_ = 0;
  bool valid_ = false;
  bool painted_ = false;
  std::vector<std::uint32_t> shown_;  // columns_ x rows_, keyOf() of each shown cell
  int termX_ = -1;                    // where the terminal's cursor is; -1 unknown
  int termY_ = -1;
  int sgr_ = -1;  // the attribute the terminal draws with; -1 unknown
  int shape_ = -1;
};
