#include "memory_console.hpp"

#include "console.hpp"

MemoryConsole::MemoryConsole(std::vector<int> keys, int width, int height)
    : keys_(keys.begin(), keys.end()), device_(width, height, 0x07, *this) {
  Console::attach(&device_);
}

MemoryConsole::~MemoryConsole() {
  if (Console::device() == &device_) Console::attach(nullptr);
}

void MemoryConsole::addKeys(std::initializer_list<int> keys) {
  keys_.insert(keys_.end(), keys.begin(), keys.end());
}

void MemoryConsole::addText(const char* text) {
  for (; *text; ++text) keys_.push_back(static_cast<signed char>(*text));
}

void MemoryConsole::present(const ScreenState& state) {
  ++presents_;
  bells_ += state.bells;
}

int MemoryConsole::nextKeyCode() {
  seenAtRead_ = device_.grid();
  if (keys_.empty()) throw ConsoleClosed{};
  const int code = keys_.front();
  keys_.pop_front();
  return code;
}

std::optional<int> MemoryConsole::nextKeyCodeWithin(int) {
  const int code = nextKeyCode();
  if (code == kNoKey) return std::nullopt;
  return code;
}
