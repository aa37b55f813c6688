#include "waiting_room_view.hpp"

#include <algorithm>
#include <cstdio>

#include "console.hpp"

namespace {

constexpr char kBlock = '\xDB';  // full block
constexpr char kRule = '\xCD';   // double horizontal line
constexpr int kDigitWidth = 5;
constexpr int kDigitHeight = 5;

// 5 x 5 digits; '#' is a full block.
constexpr const char* kDigits[10][kDigitHeight] = {
    {"#####", "#   #", "#   #", "#   #", "#####"}, {"  #  ", " ##  ", "  #  ", "  #  ", " ### "},
    {"#####", "    #", "#####", "#    ", "#####"}, {"#####", "    #", " ####", "    #", "#####"},
    {"#   #", "#   #", "#####", "    #", "    #"}, {"#####", "#    ", "#####", "    #", "#####"},
    {"#####", "#    ", "#####", "#   #", "#####"}, {"#####", "    #", "   # ", "  #  ", "  #  "},
    {"#####", "#   #", "#####", "#   #", "#####"}, {"#####", "#   #", "#####", "    #", "#####"},
};

std::string categoryWord(int category) {
  return category == 1 ? "voksen" : "barn";
}

// Text at (column, row), 1-based, cut at the right edge.
void put(int column, int row, const std::string& text, int columns) {
  if (column > columns) return;
  Console::moveTo(column, row);
  for (const char c : text.substr(0, static_cast<std::size_t>(columns - column + 1))) {
    Console::print("%c", c);
  }
}

void fillRow(int row, int columns, int background) {
  Console::setBackground(background);
  put(1, row, std::string(static_cast<std::size_t>(columns), ' '), columns);
}

std::string timeText(TimeOfDay t) {
  char text[16];
  std::snprintf(text, sizeof text, "kl. %02d:%02d", t.hour, t.minute);
  return text;
}

void drawClosed(const WaitingRoom& room, int columns, int rows) {
  Console::setBackground(Black);
  Console::clear();
  Console::setTextColor(LightGrey);
  const std::string closed = "Lukket";
  const std::string time = timeText(room.now);
  put((columns - static_cast<int>(closed.size())) / 2 + 1, rows / 2, closed, columns);
  Console::setTextColor(DarkGrey);
  put((columns - static_cast<int>(time.size())) / 2 + 1, rows / 2 + 2, time, columns);
}

void drawBigNumber(int column, int row, std::int32_t number) {
  const std::string digits = std::to_string(number);
  for (int line = 0; line < kDigitHeight; ++line) {
    std::string text;
    for (const char d : digits) {
      for (const char c : std::string(kDigits[d - '0'][line])) text += c == '#' ? kBlock : ' ';
      text += ' ';
    }
    Console::moveTo(column, row + line);
    for (const char c : text) Console::print("%c", c);
  }
}

// The newest call, large: rows `top` .. top + 4.
void drawNewestCall(const WaitingRoom& room, int top, int columns) {
  const int r = room.state.newestCallRoom;
  const auto& shift = r >= 1 ? room.state.rooms[static_cast<std::size_t>(r - 1)] : std::nullopt;
  const bool standsOut = r != 0 && room.highlightRoom == r;
  const int background = standsOut ? Red : Blue;
  for (int row = top - 1; row <= top + kDigitHeight; ++row) fillRow(row, columns, background);
  Console::setTextColor(standsOut ? Yellow : White);
  if (!shift || shift->lastCalled == 0) {
    Console::setTextColor(LightCyan);
    put(3, top + 2, "Ingen er kaldt endnu", columns);
    return;
  }
  drawBigNumber(3, top, shift->lastCalled);
  const int right =
      3 + static_cast<int>(std::to_string(shift->lastCalled).size()) * (kDigitWidth + 1) + 3;
  put(right, top + 1, "Rum " + std::to_string(r), columns);
  put(right, top + 3, categoryWord(shift->category), columns);
}

// "Ventetid ca.: voksne 15 min, boern 10 min"; `units` false: one "min"
// at the end, for a narrow window. Empty when neither has one.
std::string expectedWaits(const WaitingRoom& room, bool units) {
  std::string text;
  for (int c = 0; c < 2; ++c) {
    const auto& minutes = room.expectedMinutes[static_cast<std::size_t>(c)];
    if (!minutes) continue;
    text += (text.empty() ? "Ventetid ca.: " : ", ") + std::string(c == 0 ? "voksne " : "boern ") +
            std::to_string(*minutes) + (units ? " min" : "");
  }
  return text.empty() || units ? text : text + " min";
}

void drawOpen(const WaitingRoom& room, int columns, int rows) {
  Console::setBackground(Blue);
  Console::clear();
  Console::setTextColor(White);
  put(2, 1, "Kaldte numre", columns);
  Console::setTextColor(LightCyan);
  const std::string time = timeText(room.now);
  put(columns - static_cast<int>(time.size()), 1, time, columns);
  Console::setTextColor(White);
  put(1, 2, std::string(static_cast<std::size_t>(columns), kRule), columns);

  const bool large = columns >= 60 && rows >= 20;
  int row = 4;
  if (large) {
    drawNewestCall(room, 4, columns);
    row = 4 + kDigitHeight + 2;
    Console::setBackground(Blue);
  }
  Console::setTextColor(LightCyan);
  put(3, row, "Rum    Nummer   Patient", columns);
  row += 1;
  const int last = rows - 3;  // the rows below are the problem and the counts
  for (int r = 1; r <= DayState::kRooms && row <= last; ++r) {
    const auto& shift = room.state.rooms[static_cast<std::size_t>(r - 1)];
    if (!shift) continue;
    const bool standsOut = room.highlightRoom == r && !large;
    Console::setBackground(standsOut ? Red : Blue);
    Console::setTextColor(standsOut ? Yellow : White);
    char line[64];
    const std::string number = shift->lastCalled ? std::to_string(shift->lastCalled) : "-";
    std::snprintf(line, sizeof line, "Rum %d %9s   %-7s", r, number.c_str(),
                  categoryWord(shift->category).c_str());
    put(3, row++, line, columns);
  }
  Console::setBackground(Blue);
  Console::setTextColor(LightMagenta);
  const std::string counts = "Ventende: voksne " + std::to_string(room.state.series[0].waiting) +
                             ", boern " + std::to_string(room.state.series[1].waiting);
  put(2, rows, counts, columns);
  const std::string waits = expectedWaits(room, true);
  if (waits.empty()) return;
  Console::setTextColor(Yellow);
  if (2 + counts.size() + 3 + waits.size() < static_cast<std::size_t>(columns)) {
    put(columns - static_cast<int>(waits.size()), rows, waits, columns);
  } else if (room.problem.empty()) {
    const std::string shorter = expectedWaits(room, false);
    put(2, rows - 1, shorter.size() + 2 < static_cast<std::size_t>(columns) ? shorter : waits,
        columns);
  }
}

}  // namespace

void drawWaitingRoom(const WaitingRoom& room, int columns, int rows) {
  Console::setCursorShape(CursorShape::Hidden);
  if (room.open) {
    drawOpen(room, columns, rows);
  } else {
    drawClosed(room, columns, rows);
  }
  if (!room.problem.empty()) {
    fillRow(rows - 1, columns, Red);
    Console::setTextColor(Yellow);
    put(2, rows - 1, room.problem, columns - 1);
  }
}
