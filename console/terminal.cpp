#include "terminal.hpp"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

volatile sig_atomic_t g_terminateSignal = 0;
volatile sig_atomic_t g_resized = 0;

constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGWINCH};

extern "C" void onSignal(int signal) {
  if (signal == SIGWINCH) {
    g_resized = 1;
  } else if (g_terminateSignal == 0) {
    g_terminateSignal = signal;
  }
}

bool terminalSize(int fd, int& columns, int& rows) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0) return false;
  // A terminal that does not know its size (0) is taken to be the standard one.
  columns = size.ws_col ? size.ws_col : 80;
  rows = size.ws_row ? size.ws_row : 25;
  return true;
}

TerminalRenderer::Options optionsFromEnvironment() {
  const char* term = std::getenv("TERM");
  const std::string_view name = term ? term : "";
  TerminalRenderer::Options options;
  // GNU screen erases in the default colours unless told otherwise (tmux,
  // which also calls itself "screen", does not).
  options.eraseUsesBackground = !(name.starts_with("screen") && std::getenv("TMUX") == nullptr);
  options.linuxCursor = name.starts_with("linux");
  return options;
}

}  // namespace

std::unique_ptr<TerminalSession> TerminalSession::open(std::string& error) {
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = std::string("no terminal to run in: cannot open /dev/tty: ") + std::strerror(errno);
    return nullptr;
  }
  termios original{};
  int columns = 0;
  int rows = 0;
  if (tcgetattr(fd, &original) != 0 || !terminalSize(fd, columns, rows)) {
    error = std::string("/dev/tty is not a usable terminal: ") + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  if (columns < kMinColumns || rows < kMinRows) {
    error = "the terminal is " + std::to_string(columns) + " x " + std::to_string(rows) +
            "; morvalis needs at least " + std::to_string(kMinColumns) + " x " +
            std::to_string(kMinRows) + " (columns x rows)";
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TerminalSession>(
      new TerminalSession(fd, original, columns, rows, optionsFromEnvironment()));
}

TerminalSession::TerminalSession(int fd, const termios& original, int columns, int rows,
                                 TerminalRenderer::Options options)
    : fd_(fd),
      original_(original),
      raw_(original),
      renderer_(options),
      device_(std::clamp(columns, 80, 255), std::clamp(rows, 25, 255), 0x07, *this) {
  // The signals stay blocked except inside the wait for input, so a handler
  // can only run there and the flag it sets is seen at once (no lost wakeup).
  sigset_t handled;
  sigemptyset(&handled);
  for (const int s : kHandledSignals) sigaddset(&handled, s);
  sigprocmask(SIG_BLOCK, &handled, &savedMask_);
  waitMask_ = savedMask_;
  for (const int s : kHandledSignals) {
    sigdelset(&waitMask_, s);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(s, &action, nullptr);
  }

  // No echo and no line editing for the whole run; no flow control, so
  // Ctrl+S and Ctrl+Q are keys; only Ctrl+C may raise a signal.
  raw_.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | INPCK);
  raw_.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | IEXTEN);
  raw_.c_lflag |= ISIG;
  raw_.c_cc[VQUIT] = _POSIX_VDISABLE;
  raw_.c_cc[VSUSP] = _POSIX_VDISABLE;
#ifdef VDSUSP
  raw_.c_cc[VDSUSP] = _POSIX_VDISABLE;
#endif
  raw_.c_cc[VMIN] = 1;
  raw_.c_cc[VTIME] = 0;
  tcsetattr(fd_, TCSANOW, &raw_);
  renderer_.invalidate(columns, rows);
}

TerminalSession::~TerminalSession() {
  std::string out;
  renderer_.restore(device_.grid(), out);
  writeAll(out);
  tcsetattr(fd_, TCSANOW, &original_);
  ::close(fd_);
  for (const int s : kHandledSignals) signal(s, SIG_DFL);
  sigprocmask(SIG_SETMASK, &savedMask_, nullptr);
}

void TerminalSession::writeAll(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;  // the terminal is gone; the next key read will say so
    }
  }
}

void TerminalSession::present(const ScreenState& state) {
  std::string out;
  renderer_.render(state, out);
  if (!out.empty()) writeAll(out);
}

void TerminalSession::setSignalKeys(bool on) {
  if (on) {
    raw_.c_lflag |= ISIG;
  } else {
    raw_.c_lflag &= ~static_cast<tcflag_t>(ISIG);
  }
  tcsetattr(fd_, TCSANOW, &raw_);
}

void TerminalSession::actOnSignals() {
  if (g_terminateSignal != 0) throw ConsoleClosed{g_terminateSignal};
  if (g_resized != 0) {
    g_resized = 0;
    int columns = 0;
    int rows = 0;
    if (terminalSize(fd_, columns, rows)) {
      renderer_.invalidate(columns, rows);
      present(ScreenState{device_.grid(), device_.cursorX(), device_.cursorY(),
                          device_.cursorShape(), 0});
    }
  }
}

void TerminalSession::waitForInput() {
  timespec wait{};
  timespec* timeout = nullptr;
  switch (decoder_.wait()) {
    case KeyDecoder::Wait::Forever:
      break;
    case KeyDecoder::Wait::Short:
      wait.tv_nsec = KeyDecoder::kShortWaitMs * 1'000'000L;
      timeout = &wait;
      break;
    case KeyDecoder::Wait::Long:
      wait.tv_nsec = KeyDecoder::kLongWaitMs * 1'000'000L;
      timeout = &wait;
      break;
  }
  pollfd input{fd_, POLLIN, 0};
  const int ready = ppoll(&input, 1, timeout, &waitMask_);
  decoded_.clear();
  if (ready < 0) {
    if (errno == EINTR || errno == EAGAIN) return;
    throw ConsoleClosed{};
  }
  if (ready == 0) {
    decoder_.timeout(decoded_);
  } else if (input.revents & POLLIN) {
    unsigned char bytes[256];
    const ssize_t n = ::read(fd_, bytes, sizeof bytes);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) throw ConsoleClosed{};
    for (ssize_t i = 0; i < n; ++i) decoder_.feed(bytes[i], decoded_);
  } else {
    throw ConsoleClosed{};  // hang-up or error without data
  }
  keys_.insert(keys_.end(), decoded_.begin(), decoded_.end());
}

int TerminalSession::nextKeyCode() {
  if (keys_.empty()) {
    // Ctrl+C is a key while we wait, a signal while we are busy.
    struct SignalKeysOff {
      TerminalSession& session;
      explicit SignalKeysOff(TerminalSession& s) : session(s) { session.setSignalKeys(false); }
      ~SignalKeysOff() { session.setSignalKeys(true); }
    } off(*this);
    while (keys_.empty()) {
      actOnSignals();
      waitForInput();
    }
  }
  const int code = keys_.front();
  keys_.pop_front();
  return code;
}
