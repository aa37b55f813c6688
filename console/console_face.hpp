// ConsoleFace: what shows the console's screen and delivers its keys.
//
// Two faces exist: the real terminal and the in-memory console that tests
// drive. The console device calls present() once after every operation that
// changed what the face shows, and nextKeyCode() when it needs a key.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

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
  // As nextKeyCode, but gives up after `timeoutMs`: nothing when no key
  // came, or when the window changed its size (ask windowSize()). Faces
  // that cannot time out wait for the key.
  virtual std::optional<int> nextKeyCodeWithin(int timeoutMs) {
    (void)timeoutMs;
    return nextKeyCode();
  }
  // The window's size in cells (columns, rows); {0, 0} when the face has
  // no window of its own (the grid is the window).
  virtual std::pair<int, int> windowSize() const { return {0, 0}; }
  // A handle (a WakeSignal's or a FileWatch's: a descriptor on POSIX, an
  // event on Windows) that also ends nextKeyCodeWithin's wait, with
  // nothing, when it has news; -1: none. Faces that cannot wait on one
  // ignore it.
  virtual void wakeOn(std::intptr_t handle) { (void)handle; }
  // Which block characters the face draws: every terminal the half and
  // the full block; the Linux console only what its loaded font holds.
  virtual Blocks blocks() const { return Blocks::Half; }
};
