// DayState: what the journal keeps of a day at the desk: both number series,
// the shift open in each room, and what the waiting room's display shows.
//
// Categories are 1 (adults) and 2 (children): series[c - 1]; rooms are
// 1..5: rooms[r - 1], empty for a free room. A series' waiting numbers are
// always counter - waiting + 1 .. counter (first in, first out). Times are
// the clock's hour and minute, as the shift log writes them (8.30).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A calendar day (year, month 1..12, day 1..31), as the journal dates its
// lines; the desk's entry gives it from the clock.
struct CalendarDay {
  int year = 0;
  int month = 1;
  int day = 1;
  friend bool operator==(const CalendarDay&, const CalendarDay&) = default;
};

// When a change was made: the day and the second of the day (0..86399).
struct Moment {
  Moment(CalendarDay onDay = {}, int atSecond = 0) : day(onDay), second(atSecond) {}  // NOLINT
  CalendarDay day;
  int second;
};

struct HourMinute {
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  friend bool operator==(const HourMinute&, const HourMinute&) = default;
};

struct SeriesState {
  std::int32_t counter = 0;  // the last number issued; 0 before the first
  std::int32_t waiting = 0;  // numbers issued and not yet called
  friend bool operator==(const SeriesState&, const SeriesState&) = default;
};

// A departure begun (the log line being written) and not known to be done.
struct Departure {
  HourMinute end;
  long long logSize = 0;  // bytes of the shift log before the line was added
  friend bool operator==(const Departure&, const Departure&) = default;
};

struct ShiftState {
  int category = 1;
  std::string name;  // the bytes as typed, 0..15 of them
  HourMinute start;
  std::int32_t samples = 0;
  std::int32_t lastCalled = 0;  // the number last called into the room; 0 none
  std::optional<Departure> leaving;
  std::int32_t calls = 0;  // how often lastCalled was called: 1, or up to 3 called again
  friend bool operator==(const ShiftState&, const ShiftState&) = default;
};

struct DayState {
  static constexpr int kRooms = 5;
  std::array<SeriesState, 2> series;
  std::array<std::optional<ShiftState>, kRooms> rooms;
  int newestCallRoom = 0;  // the room of the latest call; 0 none
  // Numbers called that did not come, per category, in the order marked.
  std::array<std::vector<std::int32_t>, 2> notMet;

  int waitingTotal() const { return series[0].waiting + series[1].waiting; }
  int roomsOpen() const;
  friend bool operator==(const DayState&, const DayState&) = default;
};
