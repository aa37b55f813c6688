// Win32Console: the Win32 console as the console's face.
//
// open() takes the console by name ("CONIN$", "CONOUT$"), so redirected
// standard streams change nothing, and fails, with the reason in `error`
// and the console untouched, when there is none or its window is smaller
// than the program's minimum (80 x 25 for the desk). A console window of
// the program's own (started by a double-click) is made large enough
// first; where it cannot be, the reason stays in the window until a key is
// pressed. Made smaller than the minimum while running, the window shows
// "Vinduet er for lille" and keys wait until the picture is back. The picture is the window:
// position (1, 1) is the window's top left cell, whatever scroll-back the screen buffer has. For
// the run the console's code pages are 865, so the frame shows and Danish letters typed arrive as
// the same bytes as on a terminal.
//
// Changes go to the screen buffer when the program waits for a key, in one
// WriteConsoleOutputA of the rectangle that changed; beeps sound in their
// place (Beep, 3000 Hz, 100 ms). Keys are read with ReadConsoleInputA in
// raw mode, only while a key is awaited, and turned into key codes by the
// virtual key table. Ctrl+C is the key code 3 while a key is awaited;
// Ctrl+C while busy, Ctrl+Break and closing the window only set a flag, and
// the next key read throws ConsoleClosed (SIGINT). A console that fails
// throws ConsoleClosed too, instead of delivering -1 for ever.
//
// The destructor gives the console back: the picture stays, every cell
// outside it gets the attribute the console had at start, as do the cursor
// and the code pages, and the cursor goes on a fresh line below the picture.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "cell_grid.hpp"
#include "console_device.hpp"
#include "console_face.hpp"

class Win32Console : public ConsoleFace {
 public:
  static constexpr int kMinColumns = 80;
  static constexpr int kMinRows = 25;

  // `minimum`: the smallest window the program shows itself in.
  static std::unique_ptr<Win32Console> open(std::string& error, MinimumSize minimum = {80, 25});
  ~Win32Console() override;
  Win32Console(const Win32Console&) = delete;
  Win32Console& operator=(const Win32Console&) = delete;

  ConsoleDevice& device() { return device_; }

  void present(const ScreenState& state) override;
  int nextKeyCode() override;
  std::optional<int> nextKeyCodeWithin(int timeoutMs) override;
  std::pair<int, int> windowSize() const override;
  // An event (a WakeSignal's) that ends a timed wait for keys with nothing.
  void wakeOn(std::intptr_t handle) override {
    wake_ = handle >= 0 ? reinterpret_cast<HANDLE>(handle) : nullptr;
  }

 private:
  Win32Console(HANDLE in, HANDLE out, const CONSOLE_SCREEN_BUFFER_INFO& info, MinimumSize minimum);
  // A key code, or nothing when `timeoutMs` passed (INFINITE: never) or the
  // window changed its size.
  std::optional<int> readKeyCode(DWORD timeoutMs);
  std::optional<int> awaitKey(DWORD timeoutMs);
  void flush();
  void readWindow();
  void handBack();
  bool tooSmall() const;
  void showTooSmall();

  HANDLE in_;
  HANDLE out_;
  HANDLE stopEvent_;
  HANDLE wake_ = nullptr;
  CONSOLE_SCREEN_BUFFER_INFO start_;
  CONSOLE_CURSOR_INFO startCursor_{};
  UINT startInputCodePage_;
  UINT startOutputCodePage_;
  SHORT left_;
  SHORT top_;
  CellGrid shown_;  // what the screen buffer shows of the grid
  bool valid_ = false;
  bool dirty_ = true;
  int shape_ = -1;
  std::deque<int> queued_;  // key codes read and not yet delivered
  MinimumSize minimum_;
  bool messageShown_ = false;
  ConsoleDevice device_;
};
