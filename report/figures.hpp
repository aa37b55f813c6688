// Figures: the report's tables, computed from a History.
//
// Waits run from F3 to F4, in minutes; only patients whose both moments
// are known count in them. The median is a spreadsheet's MEDIAN (the mean
// of the two middle waits of an even count); the 90th percentile is the
// nearest-rank one (the wait at rank ceil(0.9 x n) of the sorted waits).
// Per day and category: numbers issued, called, not called by the day's
// end, and the waits of those called. Per hour: the numbers issued in it
// (arrivals), the calls made in it, and the median wait of the patients
// who got their number in it. Per shift: the technician's figures as F5
// shows them (patients per hour over the minutes from start to end).
// Dates given as "2026-12-07" keep what lies from `from` to `to`, both
// included; empty: no bound.
#pragma once

#include <string>
#include <vector>

#include "history.hpp"

struct Waits {
  int count = 0;  // 0: no figures
  double median = 0, p90 = 0, longest = 0;
};
Waits waitsOf(std::vector<double> minutes);

struct CategoryDay {
  std::string day;
  int category = 1;
  int issued = 0, called = 0, notCalled = 0;
  Waits waits;
};

struct HourRow {
  std::string day;
  int hour = 0;
  int arrivals = 0, calls = 0;
  Waits waits;  // of those who got their number in this hour
};

struct ShiftRow {
  Shift shift;
  int minutes = -1;       // start to end; -1 while the shift is open, or
                          // when the clock was set back in it
  double perHour = 0.0;   // patients per hour, as F5 shows it
};

// A room's calls on a day: the first calls, the calls again and the
// numbers that did not come.
struct RoomDay {
  std::string day;
  int room = 1;
  int called = 0, recalls = 0, notMet = 0;
};

struct Figures {
  std::vector<std::string> days;  // every day with a patient or a shift, in order
  std::vector<CategoryDay> categories;
  std::vector<HourRow> hours;
  std::vector<ShiftRow> shifts;
  std::vector<RoomDay> rooms;  // only where a booth called again or marked a number
};

Figures figuresOf(const History& history, const std::string& from = {},
                  const std::string& to = {});
