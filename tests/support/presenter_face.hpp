// PresenterFace: the terminal's face without a terminal. Changes go through
// a TerminalPresenter as on a real terminal; whenever the program waits for
// a key, what the presenter hands over is one write(), passed to `onWrite`
// with the number of the key about to be read (0: before the first key).
// Keys come from a script; when it runs out, the console closes.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "console.hpp"
#include "terminal_presenter.hpp"

class PresenterFace : public ConsoleFace {
 public:
  using WriteHandler = std::function<void(int key, const std::string& bytes)>;

  PresenterFace(int columns, int rows, std::deque<int> keys, WriteHandler onWrite,
                TerminalRenderer::Options options = {})
      : presenter(options),
        keys_(std::move(keys)),
        onWrite_(std::move(onWrite)),
        device(std::max(columns, 80), std::max(rows, 25), 0x07, *this) {
    presenter.resize(columns, rows);
    Console::attach(&device);
  }
  ~PresenterFace() override { Console::attach(nullptr); }

  ScreenState state() const {
    return ScreenState{device.grid(), device.cursorX(), device.cursorY(), device.cursorShape(), 0};
  }
  void flush() {
    const std::string out = presenter.take(state());
    if (!out.empty()) onWrite_(keysRead, out);
  }

  void present(const ScreenState& s) override { presenter.changed(s); }
  int nextKeyCode() override {
    flush();
    if (keys_.empty()) throw ConsoleClosed{};
    ++keysRead;
    const int code = keys_.front();
    keys_.pop_front();
    return code;
  }

  TerminalPresenter presenter;
  int keysRead = 0;

 private:
  std::deque<int> keys_;
  WriteHandler onWrite_;

 public:
  ConsoleDevice device;
};
