#include "waiting_room_view.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "big_text.hpp"
#include "console.hpp"

namespace {

constexpr char kRule = '\xCD';  // double horizontal line

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

// Big glyphs for `text`, as large as fit `maxRows` rows and `columns`
// columns, pixels as square as the width allows and never more than
// kMostStretch times as tall as wide (a half row is about a column tall),
// so a portrait screen gets smaller digits, never thin ones; width 0: they
// do not fit. (Two would keep 80 x 25's call to 7 rows of 25; three gives
// it 11.)
constexpr int kMostStretch = 3;
struct Scale {
  int width = 0, height = 0;
};
Scale fit(const std::string& text, int maxRows, int columns) {
  // A font with the full block alone (the Linux console's own) draws
  // pixels of whole rows: even heights, no half block ever needed.
  const bool wholeRows = Console::blocks() != Blocks::Half;
  for (int height = 2 * maxRows; height >= 1; --height) {
    if (BigText::rowCount(height) > maxRows || (wholeRows && height % 2 != 0)) continue;
    for (int width = height; width >= 1 && kMostStretch * width >= height; --width) {
      if (BigText::columns(text, width) <= columns) return {width, height};
    }
  }
  return {};
}

void putBig(int column, int row, const std::string& text, Scale scale, int columns) {
  const auto lines = BigText::rows(text, scale.width, scale.height);
  for (std::size_t i = 0; i < lines.size(); ++i) put(column, row + static_cast<int>(i), lines[i], columns);
}

// The newest call: its number and room in big glyphs, the upper part of
// the screen from row `top`, at most `maxRows` rows; the category below in
// plain text. The row after the category is returned.
int drawNewestCall(const WaitingRoom& room, int top, int maxRows, int columns) {
  const int r = room.state.newestCallRoom;
  const auto& shift = r >= 1 ? room.state.rooms[static_cast<std::size_t>(r - 1)] : std::nullopt;
  const bool standsOut = r != 0 && room.highlightRoom == r;
  const std::string text = shift && shift->lastCalled != 0
                               ? std::to_string(shift->lastCalled) + " Rum " + std::to_string(r)
                               : "";
  const Scale scale = text.empty() ? Scale{} : fit(text, maxRows, columns - 4);
  const int height = scale.width ? BigText::rowCount(scale.height) : 5;
  const int background = standsOut ? Red : Blue;
  for (int row = top - 1; row <= top + height + 1; ++row) fillRow(row, columns, background);
  if (!scale.width) {
    Console::setTextColor(LightCyan);
    put(3, top + height / 2, text.empty() ? "Ingen er kaldt endnu" : text, columns);
    return top + height + 3;
  }
  Console::setTextColor(standsOut ? Yellow : White);
  putBig((columns - BigText::columns(text, scale.width)) / 2 + 1, top, text, scale, columns);
  const std::string category = categoryWord(shift->category);
  put((columns - static_cast<int>(category.size())) / 2 + 1, top + height + 1, category, columns);
  return top + height + 3;
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

// The rooms with a shift, the newest call's first, then in their order.
std::vector<int> roomsShown(const WaitingRoom& room) {
  std::vector<int> order;
  const int newest = room.state.newestCallRoom;
  if (newest >= 1 && room.state.rooms[static_cast<std::size_t>(newest - 1)]) order.push_back(newest);
  for (int r = 1; r <= DayState::kRooms; ++r) {
    if (r != newest && room.state.rooms[static_cast<std::size_t>(r - 1)]) order.push_back(r);
  }
  return order;
}

// The table's rooms in big glyphs: side by side in `across` columns of
// cells where that makes them larger.
struct Grid {
  Scale scale;
  int across = 1, cellColumns = 0, cellRows = 0;
};
Grid gridFor(int rooms, int rows, int columns) {
  Grid best;
  for (int across = 1; across <= 3 && across <= rooms; ++across) {
    const int down = (rooms + across - 1) / across;
    const int cellColumns = (columns - 2) / across - 2;
    const int cellRows = rows / down;
    // The cell: "Rum 5 999" in glyphs, its category in a line beside it.
    const Scale scale = fit("Rum 5 999", cellRows - 1, cellColumns - 8);
    if (scale.height > best.scale.height ||
        (scale.height == best.scale.height && scale.width > best.scale.width)) {
      best = Grid{scale, across, cellColumns, cellRows};
    }
  }
  if (best.scale.height < 2) best.scale = Scale{};  // no gain in glyphs of one half row a pixel
  return best;
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

  const std::vector<int> shown = roomsShown(room);
  const int open = static_cast<int>(shown.size());
  const bool large = columns >= 60 && rows >= 20 && Console::blocks() != Blocks::None;
  int row = 4;
  if (large) {
    // At least a third of the rows, and more where few rooms leave it free.
    const int band = open <= 2 ? std::min(rows - 10, (rows * 9 + 19) / 20) : (rows + 2) / 3;
    row = drawNewestCall(room, 4, band, columns);
  }
  Console::setBackground(Blue);
  const int last = rows - 2;  // the rows below are the problem and the counts
  // The table's rooms as large as fit what is left.
  const Grid grid = large && open > 0 ? gridFor(open, last - row + 1, columns) : Grid{};
  if (grid.scale.width) {
    const int height = BigText::rowCount(grid.scale.height);
    std::vector<int> inOrder = shown;
    std::sort(inOrder.begin(), inOrder.end());
    for (int i = 0; i < open; ++i) {
      const int r = inOrder[static_cast<std::size_t>(i)];
      const auto& shift = room.state.rooms[static_cast<std::size_t>(r - 1)];
      const int x = 3 + (i % grid.across) * (grid.cellColumns + 2);
      const int y = row + (i / grid.across) * grid.cellRows;
      Console::setBackground(Blue);
      Console::setTextColor(White);
      const std::string number = shift->lastCalled ? std::to_string(shift->lastCalled) : "-";
      putBig(x, y, "Rum " + std::to_string(r) + " " + number, grid.scale, columns);
      Console::setTextColor(LightCyan);
      put(x + 2 + BigText::columns("Rum 5 999", grid.scale.width), y + height / 2,
          categoryWord(shift->category), columns);
    }
  } else {
    Console::setTextColor(LightCyan);
    put(3, row, "Rum    Nummer   Patient", columns);
    row += 1;
    // Where not every room fits, the newest calls first and a word for
    // the rest, never a silent cut.
    const int fits = std::max(0, last - 1 - row + 1);
    const int listed = open <= fits ? open : std::max(0, fits - 1);
    std::vector<int> listedRooms(shown.begin(), shown.begin() + listed);
    std::sort(listedRooms.begin(), listedRooms.end());  // in their order on the screen
    for (const int r : listedRooms) {
      const auto& shift = room.state.rooms[static_cast<std::size_t>(r - 1)];
      const bool standsOut = room.highlightRoom == r && !large;
      Console::setBackground(standsOut ? Red : Blue);
      Console::setTextColor(standsOut ? Yellow : White);
      const std::string number = shift->lastCalled ? std::to_string(shift->lastCalled) : "-";
      char line[64];
      std::snprintf(line, sizeof line, "Rum %d %9s   %-7s", r, number.c_str(),
                    categoryWord(shift->category).c_str());
      put(3, row++, line, columns);
    }
    if (listed < open) {
      Console::setBackground(Blue);
      Console::setTextColor(LightCyan);
      char more[16];  // not "+" + string, which GCC 12 warns of wrongly at -O3
      std::snprintf(more, sizeof more, "+%d rum", open - listed);
      put(3, row, more, columns);
    }
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
  // A console font without blocks gets the numbers as text, and a word.
  const std::string problem = !room.problem.empty() || Console::blocks() != Blocks::None
                                  ? room.problem
                                  : "Skriften har ingen blokke: store tal vises ikke";
  if (!problem.empty()) {
    fillRow(rows - 1, columns, Red);
    Console::setTextColor(Yellow);
    put(2, rows - 1, problem, columns - 1);
  }
}
