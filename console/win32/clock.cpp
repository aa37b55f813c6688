// Clock::now on Windows: the local time of day (GetLocalTime).
#include <windows.h>

#include "console.hpp"

TimeOfDay Clock::now() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return TimeOfDay{static_cast<std::uint8_t>(t.wMinute), static_cast<std::uint8_t>(t.wHour),
                   static_cast<std::uint8_t>(t.wMilliseconds / 10),
                   static_cast<std::uint8_t>(t.wSecond > 59 ? 59 : t.wSecond)};
}

CalendarDate Clock::today() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return CalendarDate{t.wYear, t.wMonth, t.wDay};
}
