// TerminalPresenter: the console's changes as terminal output, gathered so
// that everything one key press changes goes out in one write.
//
// changed() is told of every change; it renders nothing yet, except at a
// beep, where what changed so far and the BEL are rendered into the pending
// output, so the beep keeps its place among the changes. take() renders the
// rest as the screen now stands (a cell changed twice goes out once, as it
// ended up) and hands over all pending output for one write.
//
// resize() says the terminal's size changed or its contents are unknown
// (start, resize, continue after a stop): the next take() repaints it. A
// terminal smaller than kMinColumns x kMinRows gets a short message instead
// of the picture until it is large enough again (the desk's size unless a
// program names its own minimum).
#pragma once

#include <string>

#include "console_face.hpp"
#include "terminal_renderer.hpp"

class TerminalPresenter {
 public:
  static constexpr int kMinColumns = 80;
  static constexpr int kMinRows = 24;

  explicit TerminalPresenter(TerminalRenderer::Options options,
                             MinimumSize minimum = MinimumSize{kMinColumns, kMinRows})
      : renderer_(options), minimum_(minimum) {}

  void resize(int columns, int rows);
  bool tooSmall() const { return columns_ < minimum_.columns || rows_ < minimum_.rows; }
  int columns() const { return columns_; }
  int rows() const { return rows_; }
  // New options repaint everything at the next take().
  void setOptions(TerminalRenderer::Options options);
  const TerminalRenderer::Options& options() const { return renderer_.options(); }

  void changed(const ScreenState& state);
  std::string take(const ScreenState& state);
  // take() and then what gives the terminal back (see TerminalRenderer::restore).
  std::string handBack(const ScreenState& state, int cursorStyle);

 private:
  void showTooSmall(std::string& out);

  TerminalRenderer renderer_;
  MinimumSize minimum_;
  std::string pending_;
  bool dirty_ = false;
  bool messageShown_ = false;
  int columns_ = 0;
  int rows_ = 0;
};
