// ConsoleFace: what shows the console's screen and delivers its keys.
//
// Two faces exist: the real terminal and the in-memory console that tests
// drive. The console device calls present() once after every operation that
// changed what the face shows, and nextKeyCode() when it needs a key.
#pragma once

#include "cell_grid.hpp"
#include "console_types.hpp"

// Thrown out of Console::readKey when no key can ever come again: the
// terminal went away (signal 0), a terminating signal arrived (its number),
// or a test script ran out of keys (signal 0). Nothing catches it but the
// program entry, which restores the terminal and ends.
struct ConsoleClosed {
  int signal = 0;
};

struct ScreenState {
  const CellGrid& grid;
  int cursorX;  // 0-based
  int cursorY;  // 0-based
  CursorShape shape;
  int bells;  // beeps to sound after the cells are shown
};

class ConsoleFace {
 public:
  virtual ~ConsoleFace() = default;
  virtual void present(const ScreenState& state) = 0;
  // Blocks until a key code is available: a character code, or 0 followed
  // (on the next call) by an extended key's second code. Throws ConsoleClosed.
  virtual int nextKeyCode() = 0;
};
