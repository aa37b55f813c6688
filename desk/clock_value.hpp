// ClockValue: a time of day held in a double as hour + minute x 0.01 (8:30
// is 8.30), as the shift records and the shift log store it. The helpers
// here turn it into minutes of the day for real durations, and format the
// numbers the desk shows.
#pragma once

#include <functional>
#include <string>

#include "console_types.hpp"
#include "day_state.hpp"

// Where the desk takes its time of day from: Clock::now in the program, a
// clock of their own in tests.
using DeskClock = std::function<TimeOfDay()>;

double clockValueOf(TimeOfDay time);
// 0..1439 for a ClockValue of this program (8.30 gives 510).
int minutesOfDay(double clockValue);
// The real minutes from `start` to `now`, both ClockValues; a shift that
// passes midnight counts across it (23.50 to 0.20 is 30). 0..1439.
int minutesBetween(double start, double now);
// A ClockValue as the journal keeps it (8.30 gives 8 and 30), and back.
HourMinute hourMinuteOf(double clockValue);
double clockValueOf(HourMinute time);
// Fixed notation, exactly two decimals, rounded (8.3 gives "8.30").
std::string fixed2(double value);
// A duration in the clock's hour.minute notation: 105 minutes give "1.45".
std::string hourMinute(int minutes);
