#include "terminal.hpp"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <linux/kd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "console_font.hpp"

namespace {

volatile sig_atomic_t g_terminateSignal = 0;
volatile sig_atomic_t g_stopSignal = 0;
volatile sig_atomic_t g_continued = 0;
volatile sig_atomic_t g_resized = 0;

// SIGTTIN and SIGTTOU are left to their default: a program in the
// background stops in the terminal call that would have taken the terminal
// from the shell, before it has changed anything, and goes on from there
// when brought to the foreground.
constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGWINCH, SIGTSTP, SIGCONT};

extern "C" void onSignal(int signal) {
  switch (signal) {
    case SIGWINCH:
      g_resized = 1;
      break;
    case SIGTSTP:
      g_stopSignal = signal;
      break;
    case SIGCONT:
      g_continued = 1;
      break;
    default:
      if (g_terminateSignal == 0) g_terminateSignal = signal;
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

// Milliseconds of the steady clock, for deadlines.
long long steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string_view termName() {
  const char* term = std::getenv("TERM");
  return term ? term : "";
}

TerminalRenderer::Options initialOptions() {
  TerminalRenderer::Options options;
  options.linuxCursor = termName().starts_with("linux");
  return options;
}

}  // namespace

std::unique_ptr<TerminalSession> TerminalSession::open(std::string& error, MinimumSize minimum) {
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
  if (columns < minimum.columns || rows < minimum.rows) {
    error = "the terminal is " + std::to_string(columns) + " x " + std::to_string(rows) + "; " +
            minimum.program + " needs at least " + std::to_string(minimum.columns) + " x " +
            std::to_string(minimum.rows) + " (columns x rows)";
    ::close(fd);
    return nullptr;
  }
  std::unique_ptr<TerminalSession> session(
      new TerminalSession(fd, original, columns, rows, minimum));
  session->queryTerminal();
  return session;
}

TerminalSession::TerminalSession(int fd, const termios& original, int columns, int rows,
                                 MinimumSize minimum)
    : fd_(fd),
      original_(original),
      raw_(original),
      presenter_(initialOptions(), minimum),
      // The desk's picture is 80 x 25 in any larger terminal; a program
      // with a smaller minimum fills the window.
      device_(std::clamp(columns, std::min(minimum.columns, 80), 255),
              std::clamp(rows, std::min(minimum.rows + 1, 25), 255), 0x07, *this) {
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
  readConsoleFont();
  if (utf8Output_) writeAll("\x1b%G");
  presenter_.resize(columns, rows);
}

TerminalSession::~TerminalSession() {
  handBack();
  ::close(fd_);
  for (const int s : kHandledSignals) signal(s, SIG_DFL);
  sigprocmask(SIG_SETMASK, &savedMask_, nullptr);
}

ScreenState TerminalSession::state() const {
  return ScreenState{device_.grid(), device_.cursorX(), device_.cursorY(), device_.cursorShape(),
                     0};
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

void TerminalSession::queryTerminal() {
  // The Linux console has no control strings and would print the query.
  const bool linuxConsole = presenter_.options().linuxCursor;
  writeAll(linuxConsole ? TerminalReplies::kQueriesWithoutStyle : TerminalReplies::kQueries);
  // Terminals answer in order and all answer the last query, so its answer
  // ends the wait at once; one that does not answer costs kQueryWaitMs.
  // Keys typed meanwhile are kept; a late answer is taken whenever it comes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kQueryWaitMs);
  while (!replies_.allAnswered) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    try {
      waitForInput(static_cast<int>(left.count()));
    } catch (const ConsoleClosed&) {
      break;  // the first key read will find out again
    }
  }
  applyReplies();  // also when nothing answered
}

void TerminalSession::takeReplies() {
  const std::vector<std::string> replies = decoder_.takeReplies();
  if (replies.empty()) return;
  for (const std::string& reply : replies) replies_.take(reply);
  applyReplies();
}

void TerminalSession::applyReplies() {
  TerminalRenderer::Options options = presenter_.options();
  const bool erases = replies_.erasesInBackground(termName());
  const bool shapes = replies_.mayShapeCursor();
  if (options.eraseUsesBackground != erases || options.shapeCursor != shapes) {
    options.eraseUsesBackground = erases;
    options.shapeCursor = shapes;
    presenter_.setOptions(options);
  }
}

void TerminalSession::present(const ScreenState& state) {
  presenter_.changed(state);
}

void TerminalSession::flush() {
  const std::string out = presenter_.take(state());
  // On a virtual console every update says UTF-8 again: a console-setup
  // that runs after the program started sets its own character set.
  if (!out.empty()) writeAll(utf8Output_ ? "\x1b%G" + out : out);
}

void TerminalSession::handBack() {
  writeAll(presenter_.handBack(state(), replies_.restoreStyle()) +
           (switchedToUtf8_ ? "\x1b%@" : ""));
  tcsetattr(fd_, TCSANOW, &original_);
}

void TerminalSession::takeOver() {
  // From the background this stops the program (SIGTTOU) until it is
  // brought to the foreground again.
  tcsetattr(fd_, TCSANOW, &raw_);
  if (utf8Output_) writeAll("\x1b%G");
  readSize();
}

void TerminalSession::readConsoleFont() {
  // Only a virtual console answers these.
  long keyboard = 0;
  if (::ioctl(fd_, KDGKBMODE, &keyboard) != 0) return;
  // Its output's character set cannot be asked (a keyboard in Unicode mode
  // was seen with ISO-8859-15 output, as console-setup leaves it), so the
  // output is made UTF-8 for the run; it goes back to a single-byte set at
  // the end only where the keyboard says that is what it had.
  utf8Output_ = true;
  switchedToUtf8_ = keyboard != K_UNICODE;
  std::vector<unipair> pairs(8192);
  unimapdesc map{static_cast<unsigned short>(pairs.size()), pairs.data()};
  if (::ioctl(fd_, GIO_UNIMAP, &map) != 0) return;  // no map: as a terminal
  std::vector<char32_t> mapped;
  for (std::size_t i = 0; i < map.entry_ct && i < pairs.size(); ++i) mapped.push_back(pairs[i].unicode);
  blocks_ = blocksOfFont(mapped);
}

void TerminalSession::readSize() {
  int columns = presenter_.columns();
  int rows = presenter_.rows();
  terminalSize(fd_, columns, rows);  // on failure: the size it had
  presenter_.resize(columns, rows);  // whatever it shows now is repainted
}

void TerminalSession::stop(int signal) {
  handBack();
  // Stop the way the signal would have, so the shell sees a stopped job.
  struct sigaction byDefault {};
  struct sigaction ours {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  sigaction(signal, &byDefault, &ours);
  sigset_t stopAndContinue;
  sigemptyset(&stopAndContinue);
  sigaddset(&stopAndContinue, signal);
  sigaddset(&stopAndContinue, SIGCONT);
  sigprocmask(SIG_UNBLOCK, &stopAndContinue, nullptr);
  raise(signal);  // stopped here until SIGCONT
  sigprocmask(SIG_BLOCK, &stopAndContinue, nullptr);
  sigaction(signal, &ours, nullptr);
  g_continued = 0;  // this continue is answered here
  takeOver();
}

void TerminalSession::setSignalKeys(bool on) {
  if (on == signalKeys_) return;
  signalKeys_ = on;
  if (on) {
    raw_.c_lflag |= ISIG;
  } else {
    raw_.c_lflag &= ~static_cast<tcflag_t>(ISIG);
  }
  tcsetattr(fd_, TCSANOW, &raw_);
}

void TerminalSession::actOnSignals() {
  if (g_terminateSignal != 0) throw ConsoleClosed{g_terminateSignal};
  if (g_stopSignal != 0) {
    const int signal = g_stopSignal;
    g_stopSignal = 0;
    stop(signal);
  }
  if (g_continued != 0) {
    // Continued after a stop nobody told us of (SIGSTOP): the modes and
    // what the terminal shows are unknown.
    g_continued = 0;
    takeOver();
  }
  if (g_resized != 0) {
    g_resized = 0;
    readSize();
  }
}

void TerminalSession::waitForInput(int limitMs) {
  int waitMs = -1;
  switch (decoder_.wait()) {
    case KeyDecoder::Wait::Forever:
      break;
    case KeyDecoder::Wait::Short:
      waitMs = KeyDecoder::kShortWaitMs;
      break;
    case KeyDecoder::Wait::Long:
      waitMs = KeyDecoder::kLongWaitMs;
      break;
  }
  // The decoder's wait runs from the byte that began it, not from each
  // call: a caller that looks around more often than the wait is long
  // would otherwise never see a lone ESC.
  if (waitMs >= 0) waitMs = static_cast<int>(std::max(0LL, pendingSince_ + waitMs - steadyMs()));
  const bool limited = limitMs >= 0 && (waitMs < 0 || limitMs < waitMs);
  const int ms = limited ? limitMs : waitMs;
  timespec wait{ms / 1000, (ms % 1000) * 1'000'000L};
  pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  pollfd& input = fds[0];
  const nfds_t count = wakeFd_ >= 0 && limitMs >= 0 ? 2 : 1;
  const int ready = ppoll(fds, count, ms >= 0 ? &wait : nullptr, &waitMask_);
  if (ready > 0 && count == 2 && (fds[1].revents & POLLIN)) woken_ = true;
  decoded_.clear();
  if (ready < 0) {
    if (errno == EINTR || errno == EAGAIN) return;
    throw ConsoleClosed{};
  }
  if (ready == 0 || (input.revents == 0 && woken_)) {
    if (ready == 0 && !limited) decoder_.timeout(decoded_);
  } else if (input.revents & POLLIN) {
    unsigned char bytes[256];
    const ssize_t n = ::read(fd_, bytes, sizeof bytes);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) throw ConsoleClosed{};
    for (ssize_t i = 0; i < n; ++i) decoder_.feed(bytes[i], decoded_);
    pendingSince_ = steadyMs();
  } else {
    throw ConsoleClosed{};  // hang-up or error without data
  }
  keys_.insert(keys_.end(), decoded_.begin(), decoded_.end());
  takeReplies();
}

bool TerminalSession::awaitKey(long long deadlineMs) {
  // Ctrl+C is a key while we wait, a signal while we are busy with a key.
  // A wait that ends without one (a program that looks around every now
  // and then) leaves the modes as they are: at rest nothing switches them.
  setSignalKeys(false);
  const bool key = waitForKey(deadlineMs);
  if (key) setSignalKeys(true);
  return key;
}

bool TerminalSession::waitForKey(long long deadlineMs) {
  if (!keys_.empty() && !presenter_.tooSmall()) return true;
  for (;;) {
    actOnSignals();
    // A program that fills the window lays itself out anew before anything
    // of the old size is shown; one with a picture of its own size is told
    // once and waits on.
    const auto window = windowSize();
    if (deadlineMs >= 0 && !presenter_.tooSmall() && window != sizeToldOf_ &&
        window != std::pair<int, int>{device_.grid().width(), device_.grid().height()}) {
      sizeToldOf_ = window;
      return false;
    }
    flush();
    // Keys typed while the window is too small wait until the picture
    // shows again.
    if (!keys_.empty() && !presenter_.tooSmall()) return true;
    if (deadlineMs < 0) {
      waitForInput(-1);
      continue;
    }
    const long long left = deadlineMs - steadyMs();
    if (left <= 0 || woken_) {
      woken_ = false;
      return false;
    }
    waitForInput(static_cast<int>(left));
  }
}

int TerminalSession::nextKeyCode() {
  awaitKey(-1);
  const int code = keys_.front();
  keys_.pop_front();
  return code;
}

std::optional<int> TerminalSession::nextKeyCodeWithin(int timeoutMs) {
  if (!awaitKey(steadyMs() + timeoutMs)) return std::nullopt;
  const int code = keys_.front();
  keys_.pop_front();
  return code;
}

std::pair<int, int> TerminalSession::windowSize() const {
  return {std::min(presenter_.columns(), 255), std::min(presenter_.rows(), 255)};
}
