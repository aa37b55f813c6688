// The clock both entries read: the time of day and today's date, from the
// console layer's clock. Test builds only (MORVALIS_TEST_HOOKS): with
// MORVALIS_TEST_NOW="2026-12-07 08:30" the clock stands at that moment, so
// runs that are killed and restarted log the same times and a desk and a
// display agree on the day whatever the real date; with
// MORVALIS_TEST_NOW="@FILE" the moment is read from FILE at every reading,
// so a test can move the clock under a running program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "console.hpp"
#include "day_state.hpp"

struct EntryClock {
  std::function<TimeOfDay()> timeOfDay;
  std::function<CalendarDay()> today;
  // Both, for the journal's lines.
  Moment now() const {
    const TimeOfDay t = timeOfDay();
    return Moment{today(), t.hour * 3600 + t.minute * 60 + t.second};
  }
};

// Today by the real clock, as the journal dates its lines.
inline CalendarDay clockDay() {
  const CalendarDate date = Clock::today();
  return CalendarDay{date.year, date.month, date.day};
}

#ifdef MORVALIS_TEST_HOOKS
namespace test_clock {

struct Moment {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

inline bool read(Moment& m) {
  static const char* now = std::getenv("MORVALIS_TEST_NOW");
  char text[64] = {};
  const char* moment = now;
  if (now && now[0] == '@') {
    FILE* file = std::fopen(now + 1, "r");
    if (!file) return false;
    const bool got = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    if (!got) return false;
    moment = text;
  }
  return moment &&
         std::sscanf(moment, "%d-%d-%d %d:%d", &m.year, &m.month, &m.day, &m.hour, &m.minute) == 5;
}

}  // namespace test_clock
#endif

inline EntryClock entryClock() {
#ifdef MORVALIS_TEST_HOOKS
  test_clock::Moment start;
  if (test_clock::read(start)) {
    return EntryClock{[start] {
                        test_clock::Moment m = start;
                        test_clock::read(m);
                        return TimeOfDay{static_cast<std::uint8_t>(m.minute),
                                         static_cast<std::uint8_t>(m.hour), 0, 0};
                      },
                      [start] {
                        test_clock::Moment m = start;
                        test_clock::read(m);
                        return CalendarDay{m.year, m.month, m.day};
                      }};
  }
#endif
  return EntryClock{Clock::now, clockDay};
}
