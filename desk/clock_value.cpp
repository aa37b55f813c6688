#include "clock_value.hpp"

#include <cmath>
#include <cstdio>

double clockValueOf(TimeOfDay time) {
  return time.hour + time.minute * 0.01;
}

int minutesOfDay(double clockValue) {
  // Hundredths, rounded: 10.15 is stored a hair above or below 10.15.
  const long hundredths = std::lround(clockValue * 100);
  return static_cast<int>(hundredths / 100 * 60 + hundredths % 100);
}

int minutesBetween(double start, double now) {
  constexpr int kDay = 24 * 60;
  return ((minutesOfDay(now) - minutesOfDay(start)) % kDay + kDay) % kDay;
}

HourMinute hourMinuteOf(double clockValue) {
  const int minutes = minutesOfDay(clockValue);
  return HourMinute{minutes / 60, minutes % 60};
}

double clockValueOf(HourMinute time) {
  return clockValueOf(TimeOfDay{static_cast<std::uint8_t>(time.minute),
                                static_cast<std::uint8_t>(time.hour), 0, 0});
}

std::string fixed2(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string hourMinute(int minutes) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%02d", minutes / 60, minutes % 60);
  return text;
}
