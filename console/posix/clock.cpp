// Clock::now on POSIX: the local time of day from the real-time clock.
#include <time.h>

#include "console.hpp"

TimeOfDay Clock::now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  return TimeOfDay{static_cast<std::uint8_t>(local.tm_min),
                   static_cast<std::uint8_t>(local.tm_hour),
                   static_cast<std::uint8_t>(ts.tv_nsec / 10'000'000),
                   static_cast<std::uint8_t>(local.tm_sec > 59 ? 59 : local.tm_sec)};
}

CalendarDate Clock::today() {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}
