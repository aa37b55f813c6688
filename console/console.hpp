// Console and Clock: the console services the program draws and reads with.
//
// All operations serve the one console of the process, the ConsoleDevice
// attached with Console::attach (by the terminal session, or by a test's
// in-memory console). Without one, drawing does nothing and readKey throws
// ConsoleClosed. Positions are 1-based (column, row); (1, 1) is top left.
//
// print takes printf formats; the program uses plain texts, "%c" (one byte,
// the low 8 bits) and "%i". readKey blocks for the next key code: 1..255 for
// a character key as a signed byte (0x80..0xFF give -128..-1), or 0 followed
// by an extended key's second code on the next call. It throws ConsoleClosed
// when no key can come any more.
#pragma once

#include "console_device.hpp"
#include "console_types.hpp"

class Console {
 public:
  static void clear();
  static void moveTo(int column, int row);
  static void setTextColor(int color);
  static void setBackground(int color);
  static void setCursorShape(CursorShape shape);
  static void print(const char* format, ...) __attribute__((format(printf, 1, 2)));
  static int readKey();
  // A key within `timeoutMs`, or nothing (see ConsoleFace::nextKeyCodeWithin).
  static std::optional<int> readKeyWithin(int timeoutMs);
  // The window's size in cells, and a screen of a new size (blank).
  static std::pair<int, int> windowSize();
  static void resizeScreen(int columns, int rows);
  // See ConsoleFace::wakeOn.
  static void wakeOn(std::intptr_t handle);
  // See ConsoleFace::blocks.
  static Blocks blocks();

  // Makes `device` the console of the process (nullptr detaches).
  static void attach(ConsoleDevice* device);
  static ConsoleDevice* device();
};

class Clock {
 public:
  // The local time of day.
  static TimeOfDay now();
  // The local date.
  static CalendarDate today();
};
