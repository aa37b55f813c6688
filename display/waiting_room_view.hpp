// The waiting room's screen, drawn through the console operations onto a
// screen of any size from 40 x 12 (columns x rows) up.
//
// Open desk: a title row with the time of day; in a window of at least
// 60 x 20 the newest call in large block digits (the code page's full
// block) with its room and category; a table of the rooms with an open
// shift, each with the number last called into it ("-" before the first)
// and its category ("voksen", "barn"); the waiting counts on the last
// row, and beside them (or on the row above, in a narrow window) the
// expected waits ("Ventetid ca.: voksne 15 min"). The newest call stands out (yellow on red) while `highlightRoom`
// names its room. Closed desk: "Lukket" and the time of day, quietly (grey
// on black). A problem reading the journal shows on the row above the
// last. Technicians' names are never shown: the screen is public.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "console_types.hpp"
#include "day_state.hpp"

struct WaitingRoom {
  bool open = false;
  DayState state;
  int highlightRoom = 0;  // 0: nothing stands out
  std::string problem;    // empty: none
  TimeOfDay now{};
  // About how long a new patient of each category waits, in minutes; none
  // while there is not enough of the day to say.
  std::array<std::optional<int>, 2> expectedMinutes{};
};

void drawWaitingRoom(const WaitingRoom& room, int columns, int rows);
