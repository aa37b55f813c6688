#include "win32_console.hpp"

#include <signal.h>

#include <algorithm>
#include <vector>

#include "console_session.hpp"
#include "stop_request.hpp"
#include "virtual_key_table.hpp"

namespace {

constexpr UINT kCodePage = 865;
constexpr DWORD kStatusControlCExit = 0xC000013A;  // how Windows reports a Ctrl+C end

volatile LONG g_stopped = 0;

// Made once and never closed: the control handler runs on a thread of its
// own and may use them at any moment, also while a console is given back.
HANDLE stopEvent() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}
HANDLE handedBackEvent() {
  static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// Only sets the flag and wakes the key read. For a closed window, a log-off
// or a shutdown the system ends the process as soon as the handler
// returns, so it waits (within the few seconds the system allows) until the
// run has finished what it was doing (an F2) and given the console back.
BOOL WINAPI onControl(DWORD event) {
  InterlockedExchange(&g_stopped, 1);
  SetEvent(stopEvent());
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    WaitForSingleObject(handedBackEvent(), 4500);
  }
  return TRUE;
}

HANDLE openDevice(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

int windowColumns(const CONSOLE_SCREEN_BUFFER_INFO& info) {
  return info.srWindow.Right - info.srWindow.Left + 1;
}
int windowRows(const CONSOLE_SCREEN_BUFFER_INFO& info) {
  return info.srWindow.Bottom - info.srWindow.Top + 1;
}

// Whether the console is the program's own: no other process (a shell)
// is attached to it.
bool ownsConsole() {
  DWORD processes[2] = {};
  return GetConsoleProcessList(processes, 2) == 1;
}

// Makes the console's window at least `minimum` (and its buffer with it).
void growWindow(HANDLE out, const MinimumSize& minimum) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(out, &info)) return;
  const COORD largest = GetLargestConsoleWindowSize(out);
  const SHORT columns = static_cast<SHORT>(std::min<int>(minimum.columns, largest.X));
  const SHORT rows = static_cast<SHORT>(std::min<int>(minimum.rows, largest.Y));
  const COORD buffer{std::max(info.dwSize.X, columns), std::max(info.dwSize.Y, rows)};
  SetConsoleScreenBufferSize(out, buffer);
  const SMALL_RECT window{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
  SetConsoleWindowInfo(out, TRUE, &window);
}

// Leaves `text` in the program's own window until a key is pressed, so a
// window that closes with the program can still be read.
void sayAndWaitForAKey(HANDLE in, HANDLE out, const std::string& text) {
  DWORD done = 0;
  WriteConsoleA(out, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
  FlushConsoleInputBuffer(in);
  for (;;) {
    INPUT_RECORD record{};
    DWORD read = 0;
    if (!ReadConsoleInputA(in, &record, 1, &read)) return;
    if (read == 1 && record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
  }
}

}  // namespace

bool stopRequested() {
  return InterlockedCompareExchange(&g_stopped, 0, 0) != 0;
}

const char* endingReason(const ConsoleClosed& closed) {
  return closed.signal == 0 ? "the console went away" : nullptr;
}

void endLikeTheSignal(const ConsoleClosed& closed) {
  if (closed.signal == SIGINT) ExitProcess(kStatusControlCExit);
}

std::unique_ptr<Win32Console> Win32Console::open(std::string& error, MinimumSize minimum) {
  const HANDLE in = openDevice("CONIN$");
  const HANDLE out = openDevice("CONOUT$");
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const auto refuse = [&](const std::string& why) {
    error = why;
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    return nullptr;
  };
  if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE ||
      !GetConsoleScreenBufferInfo(out, &info)) {
    return refuse("no console to run in");
  }
  if ((windowColumns(info) < minimum.columns || windowRows(info) < minimum.rows) && ownsConsole()) {
    growWindow(out, minimum);
    GetConsoleScreenBufferInfo(out, &info);
  }
  const int columns = windowColumns(info);
  const int rows = windowRows(info);
  if (columns < minimum.columns || rows < minimum.rows) {
    if (ownsConsole()) {
      sayAndWaitForAKey(in, out,
                        std::string(minimum.program) + ": the console window is " +
                            std::to_string(columns) + " x " + std::to_string(rows) +
                            " and cannot be made larger; it needs at least " +
                            std::to_string(minimum.columns) + " x " + std::to_string(minimum.rows) +
                            ". Press a key.\r\n");
    }
    return refuse("the console window is " + std::to_string(columns) + " x " +
                  std::to_string(rows) + "; " + minimum.program + " needs at least " +
                  std::to_string(minimum.columns) + " x " + std::to_string(minimum.rows) +
                  " (columns x rows)");
  }
  return std::unique_ptr<Win32Console>(new Win32Console(in, out, info, minimum));
}

Win32Console::Win32Console(HANDLE in, HANDLE out, const CONSOLE_SCREEN_BUFFER_INFO& info,
                           MinimumSize minimum)
    : in_(in),
      out_(out),
      stopEvent_(stopEvent()),
      start_(info),
      startInputCodePage_(GetConsoleCP()),
      startOutputCodePage_(GetConsoleOutputCP()),
      left_(info.srWindow.Left),
      top_(info.srWindow.Top),
      minimum_(minimum),
      device_(std::clamp(windowColumns(info), minimum.columns, 255),
              std::clamp(windowRows(info), minimum.rows, 255),
              static_cast<std::uint8_t>(info.wAttributes & 0xFF), *this) {
  GetConsoleCursorInfo(out_, &startCursor_);
  SetConsoleCP(kCodePage);
  SetConsoleOutputCP(kCodePage);
  SetConsoleCtrlHandler(onControl, TRUE);
  shown_ = CellGrid(device_.grid().width(), device_.grid().height());
}

Win32Console::~Win32Console() {
  handBack();
  SetEvent(handedBackEvent());  // a waiting close handler may let the process end
  SetConsoleCtrlHandler(onControl, FALSE);
  CloseHandle(in_);
  CloseHandle(out_);
}

void Win32Console::present(const ScreenState& state) {
  dirty_ = true;
  if (state.bells <= 0) return;
  flush();  // what the beep follows is shown before it sounds
  for (int i = 0; i < state.bells; ++i) Beep(3000, 100);
}

bool Win32Console::tooSmall() const {
  const auto [columns, rows] = windowSize();
  return columns < minimum_.columns || rows < minimum_.rows;
}

void Win32Console::showTooSmall() {
  if (messageShown_) return;
  messageShown_ = true;
  valid_ = false;  // the picture is painted anew once the window is large again
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(out_, &info)) return;
  const int columns = windowColumns(info);
  const int rows = windowRows(info);
  const WORD yellowOnBlue = 0x1E;
  for (int y = 0; y < rows; ++y) {
    DWORD done = 0;
    const COORD at{info.srWindow.Left, static_cast<SHORT>(info.srWindow.Top + y)};
    FillConsoleOutputCharacterA(out_, ' ', static_cast<DWORD>(columns), at, &done);
    FillConsoleOutputAttribute(out_, yellowOnBlue, static_cast<DWORD>(columns), at, &done);
  }
  const std::string lines[] = {
      "Vinduet er for lille",
      std::string(minimum_.program) + " skal bruge mindst " + std::to_string(minimum_.columns) +
          " x " + std::to_string(minimum_.rows),
      "Vinduet er nu " + std::to_string(columns) + " x " + std::to_string(rows),
  };
  const int top = std::max(0, (rows - 3) / 2);
  for (int i = 0; i < 3 && top + i < rows; ++i) {
    const std::string line = lines[i].substr(0, static_cast<std::size_t>(columns));
    const COORD at{static_cast<SHORT>(info.srWindow.Left +
                                      std::max(0, (columns - static_cast<int>(line.size())) / 2)),
                   static_cast<SHORT>(info.srWindow.Top + top + i)};
    DWORD done = 0;
    WriteConsoleOutputCharacterA(out_, line.data(), static_cast<DWORD>(line.size()), at, &done);
  }
  CONSOLE_CURSOR_INFO hidden{25, FALSE};
  SetConsoleCursorInfo(out_, &hidden);
  shape_ = -1;
}

void Win32Console::flush() {
  if (tooSmall()) {
    showTooSmall();
    return;
  }
  messageShown_ = false;
  if (!dirty_) return;
  dirty_ = false;
  const CellGrid& grid = device_.grid();
  if (shown_.width() != grid.width() || shown_.height() != grid.height()) {
    shown_ = CellGrid(grid.width(), grid.height());  // a new screen: all of it goes out
    valid_ = false;
  }
  int x0 = grid.width(), y0 = grid.height(), x1 = -1, y1 = -1;
  for (int y = 0; y < grid.height(); ++y) {
    for (int x = 0; x < grid.width(); ++x) {
      if (valid_ && grid.at(x, y) == shown_.at(x, y)) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
  if (x1 >= 0) {
    // One call for the rectangle that changed, straight into the buffer.
    const int width = x1 - x0 + 1;
    const int height = y1 - y0 + 1;
    std::vector<CHAR_INFO> cells(static_cast<std::size_t>(width * height));
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        const Cell cell = grid.at(x, y);
        CHAR_INFO& c = cells[static_cast<std::size_t>((y - y0) * width + (x - x0))];
        c.Char.AsciiChar = static_cast<CHAR>(cell.byte);
        c.Attributes = cell.attribute;
        shown_.at(x, y) = cell;
      }
    }
    SMALL_RECT region{static_cast<SHORT>(left_ + x0), static_cast<SHORT>(top_ + y0),
                      static_cast<SHORT>(left_ + x1), static_cast<SHORT>(top_ + y1)};
    WriteConsoleOutputA(out_, cells.data(),
                        COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)}, COORD{0, 0},
                        &region);
    valid_ = true;
  }
  const CursorShape shape = device_.cursorShape();
  if (shape_ != static_cast<int>(shape)) {
    // On the console's own output: standard output may be a file.
    CONSOLE_CURSOR_INFO info{shape == CursorShape::Solid ? 100u : 25u,
                             shape != CursorShape::Hidden};
    SetConsoleCursorInfo(out_, &info);
    shape_ = static_cast<int>(shape);
  }
  if (shape != CursorShape::Hidden) {
    SetConsoleCursorPosition(out_, COORD{static_cast<SHORT>(left_ + device_.cursorX()),
                                         static_cast<SHORT>(top_ + device_.cursorY())});
  }
}

void Win32Console::readWindow() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(out_, &info)) return;
  left_ = info.srWindow.Left;
  top_ = info.srWindow.Top;
  valid_ = false;  // what the buffer shows now is not known: repaint it
  dirty_ = true;
}

int Win32Console::nextKeyCode() {
  return *awaitKey(INFINITE);
}

std::optional<int> Win32Console::nextKeyCodeWithin(int timeoutMs) {
  return awaitKey(static_cast<DWORD>(std::max(timeoutMs, 0)));
}

std::pair<int, int> Win32Console::windowSize() const {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(out_, &info)) {
    return {device_.grid().width(), device_.grid().height()};
  }
  return {std::min(windowColumns(info), 255), std::min(windowRows(info), 255)};
}

std::optional<int> Win32Console::awaitKey(DWORD timeoutMs) {
  if (!queued_.empty() && !tooSmall()) {
    const int code = queued_.front();
    queued_.pop_front();
    return code;
  }
  flush();
  DWORD mode = 0;
  if (!GetConsoleMode(in_, &mode)) throw ConsoleClosed{};
  // Raw only while a key is awaited: no line editing, no echo, Ctrl+C a
  // key; window events so that a resized window is repainted.
  if (!SetConsoleMode(in_, ENABLE_WINDOW_INPUT)) throw ConsoleClosed{};
  struct RestoreMode {
    HANDLE in;
    DWORD mode;
    ~RestoreMode() { SetConsoleMode(in, mode); }
  } restore{in_, mode};
  return readKeyCode(timeoutMs);
}

std::optional<int> Win32Console::readKeyCode(DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (g_stopped) throw ConsoleClosed{SIGINT};
    // News wake only a wait that may end without a key.
    const HANDLE waits[] = {in_, stopEvent_, wake_};
    DWORD count = 2;
    DWORD wait = INFINITE;
    if (timeoutMs != INFINITE) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return std::nullopt;
      wait = static_cast<DWORD>(deadline - now);
      if (wake_) count = 3;
    }
    const DWORD woke = WaitForMultipleObjects(count, waits, FALSE, wait);
    if (woke == WAIT_TIMEOUT || woke == WAIT_OBJECT_0 + 2) return std::nullopt;
    if (woke == WAIT_OBJECT_0 + 1) continue;
    if (woke != WAIT_OBJECT_0) throw ConsoleClosed{};
    INPUT_RECORD record{};
    DWORD read = 0;
    if (!ReadConsoleInputA(in_, &record, 1, &read)) throw ConsoleClosed{};
    if (read == 0) continue;
    if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
      readWindow();
      messageShown_ = false;  // a new size: the message (or the picture) anew
      // A program that fills the window lays itself out anew first.
      if (timeoutMs != INFINITE &&
          windowSize() != std::pair<int, int>{device_.grid().width(), device_.grid().height()}) {
        return std::nullopt;
      }
      flush();
      // Keys typed while the window was too small act now, in order.
      if (!queued_.empty() && !tooSmall()) {
        const int code = queued_.front();
        queued_.pop_front();
        return code;
      }
      continue;
    }
    if (record.EventType != KEY_EVENT) continue;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    // Each press counts once, whatever its repeat count.
    const auto codes = keyCodesOf(ConsoleKeyEvent{key.bKeyDown != 0, key.wVirtualKeyCode,
                                                  static_cast<std::uint8_t>(key.uChar.AsciiChar),
                                                  key.dwControlKeyState});
    if (!codes) continue;
    if (tooSmall()) {
      // Kept, in order, for when the picture shows again.
      queued_.push_back(codes->first);
      if (codes->pending) queued_.push_back(*codes->pending);
      continue;
    }
    if (codes->pending) queued_.push_front(*codes->pending);
    return codes->first;
  }
}

void Win32Console::handBack() {
  flush();
  const CellGrid& grid = device_.grid();
  const auto [lastColumn, lastRow] = grid.drawnExtent(grid.width(), grid.height());
  // The picture stays; the rest of the window gets the console's own colours.
  const auto fill = [&](int x, int y, int count) {
    if (count <= 0) return;
    DWORD done = 0;
    const COORD at{static_cast<SHORT>(left_ + x), static_cast<SHORT>(top_ + y)};
    FillConsoleOutputCharacterA(out_, ' ', static_cast<DWORD>(count), at, &done);
    FillConsoleOutputAttribute(out_, start_.wAttributes, static_cast<DWORD>(count), at, &done);
  };
  for (int y = 0; y <= lastRow; ++y) fill(lastColumn + 1, y, grid.width() - lastColumn - 1);
  for (int y = lastRow + 1; y < grid.height(); ++y) fill(0, y, grid.width());
  SetConsoleTextAttribute(out_, start_.wAttributes);
  if (startCursor_.dwSize != 0) SetConsoleCursorInfo(out_, &startCursor_);
  SetConsoleCursorPosition(out_, COORD{left_, static_cast<SHORT>(top_ + std::max(lastRow, 0))});
  DWORD written = 0;
  WriteConsoleA(out_, "\r\n", 2, &written, nullptr);  // a fresh line below the picture
  SetConsoleCP(startInputCodePage_);
  SetConsoleOutputCP(startOutputCodePage_);
}
