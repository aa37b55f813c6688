// TerminalSession: the real terminal as the console's face.
//
// open() takes the terminal by name (/dev/tty), so redirected standard
// streams change nothing. It fails, with the reason in `error` and the
// terminal untouched, when there is no terminal or it is smaller than
// 80 x 24. While the session lives the terminal has no echo and no line
// editing; Ctrl+C is the key code 3 while a key is awaited and SIGINT while
// the program is busy. SIGINT, SIGTERM and SIGHUP only set a flag; the
// next key read throws ConsoleClosed with the signal, and a resize repaints
// the terminal from the grid. The destructor gives the terminal back: its
// original modes, default colours, a visible cursor, and the cursor on a
// fresh line below the picture, which stays.
#pragma once

#include <signal.h>
#include <termios.h>

#include <deque>
#include <memory>
#include <string>

#include "console_device.hpp"
#include "console_face.hpp"
#include "key_decoder.hpp"
#include "terminal_renderer.hpp"

class TerminalSession : public ConsoleFace {
 public:
  static constexpr int kMinColumns = 80;
  static constexpr int kMinRows = 24;

  static std::unique_ptr<TerminalSession> open(std::string& error);
  ~TerminalSession() override;
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  ConsoleDevice& device() { return device_; }

  void present(const ScreenState& state) override;
  int nextKeyCode() override;

 private:
  TerminalSession(int fd, const termios& original, int columns, int rows,
                  TerminalRenderer::Options options);
  void actOnSignals();
  void waitForInput();
  void setSignalKeys(bool on);
  void writeAll(const std::string& bytes);

  int fd_;
  termios original_;
  termios raw_;
  sigset_t savedMask_;
  sigset_t waitMask_;
  TerminalRenderer renderer_;
  KeyDecoder decoder_;
  std::deque<int> keys_;
  std::vector<int> decoded_;
  ConsoleDevice device_;
};
