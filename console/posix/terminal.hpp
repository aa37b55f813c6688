// TerminalSession: the real terminal as the console's face.
//
// open() takes the terminal by name (/dev/tty), so redirected standard
// streams change nothing. It fails, with the reason in `error` and the
// terminal untouched, when there is no terminal or it is smaller than
// 80 x 24. At start it asks the terminal what it is and which cursor style
// the user has, waiting at most kQueryWaitMs for the answers.
//
// While the session lives the terminal has no echo and no line editing;
// Ctrl+C is the key code 3 while a key is awaited and SIGINT while the
// program is busy; Ctrl+Z is the key code 26. The screen's changes go out
// in one write whenever the program waits for a key.
//
// Signals only set flags, acted on while a key is awaited: SIGINT, SIGTERM
// and SIGHUP make the key read throw ConsoleClosed with the signal; SIGTSTP
// gives the terminal back and stops, and after SIGCONT the terminal is
// taken again and repainted from the grid; a resize repaints, and while the
// terminal is smaller than the program's minimum (80 x 24 for the desk) it
// shows a message and keys wait. Started
// in the background, the program stops (SIGTTOU) before it touches the
// terminal. The destructor gives the terminal back: its original modes,
// default colours outside the picture, which stays, the user's cursor, and
// the cursor on a fresh line below the picture.
//
// On the Linux console the loaded font's Unicode map tells which block
// characters it draws (blocks()), and a console left in a single-byte
// character set (ISO-8859-15, as a system without a UTF-8 locale has it)
// is switched to UTF-8 while the program has it (ESC % G), and back.
#pragma once

#include <signal.h>
#include <termios.h>

#include <deque>
#include <memory>
#include <string>

#include "console_device.hpp"
#include "console_face.hpp"
#include "key_decoder.hpp"
#include "terminal_presenter.hpp"
#include "terminal_replies.hpp"

class TerminalSession : public ConsoleFace {
 public:
  static constexpr int kMinColumns = TerminalPresenter::kMinColumns;
  static constexpr int kMinRows = TerminalPresenter::kMinRows;
  static constexpr int kQueryWaitMs = 100;

  // `minimum`: the smallest terminal the program shows itself in.
  static std::unique_ptr<TerminalSession> open(std::string& error, MinimumSize minimum = {});
  ~TerminalSession() override;
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  ConsoleDevice& device() { return device_; }

  void present(const ScreenState& state) override;
  int nextKeyCode() override;
  std::optional<int> nextKeyCodeWithin(int timeoutMs) override;
  std::pair<int, int> windowSize() const override;
  void wakeOn(std::intptr_t handle) override { wakeFd_ = static_cast<int>(handle); }
  Blocks blocks() const override { return blocks_; }

 private:
  TerminalSession(int fd, const termios& original, int columns, int rows, MinimumSize minimum);
  // Waits for keys until one is there (true) or `deadline` passes, or the
  // window took a size other than the grid's that the program has not been
  // told of yet (false); -1: no deadline.
  bool awaitKey(long long deadlineMs);
  bool waitForKey(long long deadlineMs);
  ScreenState state() const;
  void queryTerminal();
  void takeReplies();
  void applyReplies();
  // The terminal's size into the presenter, which repaints at the next flush.
  void readSize();
  void actOnSignals();
  void takeOver();
  void handBack();
  void stop(int signal);
  void flush();
  // Waits for input at most the decoder's wait, or limitMs when that is shorter
  // (-1: no limit); keys go to keys_, replies to replies_.
  void waitForInput(int limitMs);
  void setSignalKeys(bool on);
  void writeAll(const std::string& bytes);

  // On the Linux console: what its font holds, and whether its output was
  // switched to UTF-8 for the run (and is switched back at the end).
  void readConsoleFont();
  int fd_;
  int wakeFd_ = -1;
  Blocks blocks_ = Blocks::Half;
  long long pendingSince_ = 0;  // steady ms of the last bytes read
  bool utf8Output_ = false;      // a virtual console, made UTF-8 for the run
  bool switchedToUtf8_ = false;  // and given back its single-byte set at the end
  bool woken_ = false;
  bool signalKeys_ = true;                 // whether ISIG is on in raw_
  std::pair<int, int> sizeToldOf_{0, 0};  // the window size a wait last ended for
  termios original_;
  termios raw_;
  sigset_t savedMask_;
  sigset_t waitMask_;
  TerminalPresenter presenter_;
  TerminalReplies replies_;
  KeyDecoder decoder_;
  std::deque<int> keys_;
  std::vector<int> decoded_;
  ConsoleDevice device_;
};
