// Runs a front desk on the in-memory console with scripted keys and a clock
// that gives the times of day it is told, one per reading (the last one
// again when they run out).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "front_desk.hpp"
#include "memory_console.hpp"

namespace keys {
constexpr int kEnter = 13;
constexpr int kEscape = 27;
inline std::vector<int> F(int n) {
  return {0, 58 + n};
}
}  // namespace keys

class DeskDriver {
 public:
  explicit DeskDriver(FileSystem& files = FileSystem::real(), DayStore* store = nullptr,
                      TicketPrinter* printer = nullptr, std::string clinic = {}, bool notMetFirst = false)
      : desk([this] { return nextTime(); }, files,
             DeskParts{store, printer, std::move(clinic), {}, notMetFirst}) {}
  explicit DeskDriver(TicketPrinter* printer, std::string clinic = {})
      : DeskDriver(FileSystem::real(), nullptr, printer, std::move(clinic)) {}

  DeskDriver& times(std::initializer_list<TimeOfDay> t) {
    times_.insert(times_.end(), t);
    return *this;
  }
  DeskDriver& press(std::initializer_list<int> codes) {
    for (const int c : codes) con.addKeys({c});
    return *this;
  }
  DeskDriver& key(int functionKey) {
    for (const int c : keys::F(functionKey)) con.addKeys({c});
    return *this;
  }
  DeskDriver& type(const char* text) {
    con.addText(text);
    return *this;
  }
  // F1 for a room with a category key ('v', 'b', or Enter) and a name.
  DeskDriver& arrive(int room, int category, const char* name) {
    return key(1).press({'0' + room, category}).type(name).press({keys::kEnter});
  }
  // Adds ESC and runs the loop to its end.
  void run() {
    con.addKeys({keys::kEscape});
    con.attach();
    desk.run();
  }
  // Runs the keys given and then ends as a killed program would: no ESC.
  void runAndCrash() {
    try {
      con.attach();
      desk.run();
    } catch (const ConsoleClosed&) {
    }
  }

  // Columns from..to (1-based, inclusive) of a row, as glyphs.
  std::string text(int row, int from, int to) const {
    return con.grid().rowText(row - 1, from - 1, to);
  }
  int color(int column, int row) const {
    return textColorOf(con.grid().at(column - 1, row - 1).attribute);
  }
  bool panelBlank() const {
    for (int row = 6; row <= 19; ++row) {
      if (text(row, 39, 79) != std::string(41, ' ')) return false;
    }
    return true;
  }
  std::string waiting() const { return text(4, 73, 79); }

  MemoryConsole con;
  FrontDesk desk;
  int clockReadings = 0;

 private:
  TimeOfDay nextTime() {
    ++clockReadings;
    if (times_.size() > 1) {
      const TimeOfDay t = times_.front();
      times_.pop_front();
      return t;
    }
    return times_.empty() ? TimeOfDay{0, 12, 0, 0} : times_.front();
  }
  std::deque<TimeOfDay> times_;
};

inline TimeOfDay at(int hour, int minute) {
  return TimeOfDay{static_cast<std::uint8_t>(minute), static_cast<std::uint8_t>(hour), 0, 0};
}
