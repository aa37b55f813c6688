// Shared value types of the console layer.
//
// ConsoleColor: 0..15; bit 0 blue, bit 1 green, bit 2 red, bit 3 bright.
// Attribute byte of a cell: bits 0-3 text colour, bits 4-6 background colour,
// bit 7 bright background.
// CursorShape: Hidden 0, Solid 1 (block), Normal 2 (underline).
// TimeOfDay: the local time of day as the clock delivers it.
// CalendarDate: the local date (year, month 1..12, day 1..31).
#pragma once

#include <cstdint>

enum ConsoleColor : int {
  Black = 0,
  Blue = 1,
  Green = 2,
  Cyan = 3,
  Red = 4,
  Magenta = 5,
  Brown = 6,
  LightGrey = 7,
  DarkGrey = 8,
  LightBlue = 9,
  LightGreen = 10,
  LightCyan = 11,
  LightRed = 12,
  LightMagenta = 13,
  Yellow = 14,
  White = 15,
};

enum class CursorShape : int { Hidden = 0, Solid = 1, Normal = 2 };

struct TimeOfDay {
  std::uint8_t minute;      // 0..59
  std::uint8_t hour;        // 0..23
  std::uint8_t hundredths;  // 0..99
  std::uint8_t second;      // 0..59
};

// The smallest window a program can show itself in, and its name for the
// message shown in a smaller one.
struct MinimumSize {
  int columns = 80;
  int rows = 24;
  const char* program = "morvalis";
};

struct CalendarDate {
  int year;
  int month;  // 1..12
  int day;    // 1..31
  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

inline constexpr int textColorOf(std::uint8_t attribute) {
  return attribute & 0x0F;
}
inline constexpr int backgroundOf(std::uint8_t attribute) {
  return (attribute >> 4) & 0x0F;
}

// The block characters a screen draws: the half blocks (U+2580, U+2584)
// and the full block (U+2588), the full block alone, or none of them.
enum class Blocks { Half, FullOnly, None };
