// MemoryConsole: the in-memory face of the console, for tests.
//
// While it lives it is the console of the process: a grid of the given size
// (80 x 25 unless told) in light grey on black, and keys taken in order from
// a script of key codes (as Console::readKey returns them). When the script
// is used up, readKey throws ConsoleClosed, as when a terminal goes away.
#pragma once

#include <deque>
#include <initializer_list>
#include <vector>

#include "console.hpp"
#include "console_device.hpp"
#include "console_face.hpp"

class MemoryConsole : public ConsoleFace {
 public:
  explicit MemoryConsole(std::vector<int> keys = {}, int width = 80, int height = 25);
  ~MemoryConsole() override;
  MemoryConsole(const MemoryConsole&) = delete;
  MemoryConsole& operator=(const MemoryConsole&) = delete;

  // In a script: the wait for a key timed out (nextKeyCodeWithin gives nothing).
  static constexpr int kNoKey = -1000;

  void addKeys(std::initializer_list<int> keys);
  void addText(const char* text);  // each byte one key code

  const CellGrid& grid() const { return device_.grid(); }
  // Makes it the process's console again (a test with two desks).
  void attach() { Console::attach(&device_); }
  const ConsoleDevice& device() const { return device_; }
  // The grid as it stood when the latest key was read: what a user saw
  // while the program waited.
  const CellGrid& gridAtLastKeyRead() const { return seenAtRead_; }
  int bells() const { return bells_; }
  int presents() const { return presents_; }
  std::size_t keysLeft() const { return keys_.size(); }

  void present(const ScreenState& state) override;
  int nextKeyCode() override;
  std::optional<int> nextKeyCodeWithin(int timeoutMs) override;
  Blocks blocks() const override { return fontBlocks; }

  // The blocks the screen draws: a Linux console's font may lack some.
  Blocks fontBlocks = Blocks::Half;

 private:
  std::deque<int> keys_;
  CellGrid seenAtRead_;
  int bells_ = 0;
  int presents_ = 0;
  ConsoleDevice device_;
};
