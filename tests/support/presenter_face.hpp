// PresenterFace: the terminal's face without a terminal. Changes go through
// a TerminalPresenter as on a real terminal; whenever the program waits for
// a key, what the presenter hands over is one write(), passed to `onWrite`
// with the key press that caused it: the 0-based index of the press whose
// last code was read, -1 before the first. Keys come from a script of key
// presses (each one or two codes); when it runs out, the console closes.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "console.hpp"
#include "terminal_presenter.hpp"

class PresenterFace : public ConsoleFace {
 public:
  using WriteHandler = std::function<void(int press, const std::string& bytes)>;

  PresenterFace(int columns, int rows, const std::vector<std::vector<int>>& presses,
                WriteHandler onWrite, TerminalRenderer::Options options = {})
      : presenter(options),
        onWrite_(std::move(onWrite)),
        device(std::max(columns, 80), std::max(rows, 25), 0x07, *this) {
    for (std::size_t p = 0; p < presses.size(); ++p) {
      for (const int code : presses[p]) keys_.push_back({code, static_cast<int>(p)});
    }
    presenter.resize(columns, rows);
    Console::attach(&device);
  }
  ~PresenterFace() override { Console::attach(nullptr); }

  ScreenState state() const {
    return ScreenState{device.grid(), device.cursorX(), device.cursorY(), device.cursorShape(), 0};
  }
  void flush() {
    const std::string out = presenter.take(state());
    if (!out.empty()) onWrite_(press_, out);
  }

  void present(const ScreenState& s) override { presenter.changed(s); }
  int nextKeyCode() override {
    flush();
    if (keys_.empty()) throw ConsoleClosed{};
    const auto [code, press] = keys_.front();
    keys_.pop_front();
    press_ = press;
    return code;
  }

  TerminalPresenter presenter;

 private:
  std::deque<std::pair<int, int>> keys_;  // code, its press
  int press_ = -1;
  WriteHandler onWrite_;

 public:
  ConsoleDevice device;
};
