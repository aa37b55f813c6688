#include "shift_panels.hpp"

#include "clock_value.hpp"
#include "console.hpp"
#include "main_screen.hpp"

namespace {
constexpr auto printAt = MainScreen::printAt;
}

void showCalledPatient(std::int32_t number, int category) {
  Console::setTextColor(Yellow);
  printAt(39, 9, "Indkald nummer: ");
  printAt(39, 11, "Patient type: ");
  Console::setTextColor(LightMagenta);
  Console::moveTo(55, 9);
  Console::print("%i", number);
  printAt(55, 11, category == 1 ? "voksen" : "barn ");
}

void showRoomStatus(int category, const std::string& name, std::int32_t samples, double start,
                    double now) {
  Console::setTextColor(Yellow);
  printAt(39, 9, "Patient: ");
  printAt(39, 11, "Laborant: ");
  printAt(39, 13, "Antal proever:");
  printAt(39, 15, "Moedetid Kl: ");
  printAt(39, 17, "Arbejdstid: ");
  printAt(39, 19, "Proever i timen:");

  Console::setTextColor(LightMagenta);
  printAt(56, 9, category == 1 ? "voksne" : "boern ");
  Console::moveTo(56, 11);
  // Byte by byte: a name may hold any code, 0 included.
  for (const char c : name) Console::print("%c", c);
  Console::moveTo(56, 13);
  Console::print("%i", samples);
  printAt(56, 15, fixed2(start).c_str());
  const int minutes = minutesBetween(start, now);
  printAt(56, 17, hourMinute(minutes).c_str());
  printAt(56, 19, minutes > 0 ? fixed2(samples * 60.0 / minutes).c_str() : "0");
}
