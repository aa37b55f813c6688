// The fixed screen and its changing cells, checked on the in-memory grid.
#include <gtest/gtest.h>

#include <string>

#include "console.hpp"
#include "main_screen.hpp"
#include "memory_console.hpp"
#include "screen_pictures.hpp"

namespace {

int fg(const MemoryConsole& con, int column, int row) {
  return textColorOf(con.grid().at(column - 1, row - 1).attribute);
}
int bg(const MemoryConsole& con, int column, int row) {
  return backgroundOf(con.grid().at(column - 1, row - 1).attribute);
}

TEST(MainScreen, StartScreenMatchesTheLayoutCellByCell) {
  MemoryConsole con;
  MainScreen screen;
  screen.drawScreen();
  for (int room = 1; room <= 5; ++room) screen.showRoomState(room, true);
  screen.showWaitingCounts(0, 0);

  EXPECT_EQ(con.grid().text(), pictures::kStartScreen);
  for (int row = 1; row <= 25; ++row) {
    for (int column = 1; column <= 80; ++column) ASSERT_EQ(bg(con, column, row), Blue);
  }
  // Frame white, titles light red, labels and menu light cyan.
  EXPECT_EQ(fg(con, 1, 1), White);
  EXPECT_EQ(fg(con, 37, 5), White);
  EXPECT_EQ(fg(con, 80, 24), White);
  EXPECT_EQ(fg(con, 24, 2), LightRed);
  EXPECT_EQ(fg(con, 41, 23), LightRed);
  EXPECT_EQ(fg(con, 3, 4), LightCyan);
  EXPECT_EQ(fg(con, 71, 4), LightCyan);
  EXPECT_EQ(fg(con, 4, 7), LightCyan);
  EXPECT_EQ(fg(con, 12, 17), LightCyan);
  // Room indicators light green; counts light magenta, the dash light cyan.
  for (const int column : {10, 11, 22, 23, 34, 35, 46, 47, 58, 59}) {
    EXPECT_EQ(fg(con, column, 4), LightGreen) << column;
  }
  EXPECT_EQ(fg(con, 73, 4), LightMagenta);
  EXPECT_EQ(fg(con, 75, 4), LightCyan);
  EXPECT_EQ(fg(con, 77, 4), LightMagenta);
}

TEST(MainScreen, MenuMarkerMovesAndClearsTheOldOne) {
  MemoryConsole con;
  MainScreen screen;
  screen.drawScreen();
  const CellGrid start = con.grid();

  screen.markMenuItem(3);
  EXPECT_EQ(con.grid().rowText(10, 1, 3), "->");
  EXPECT_EQ(fg(con, 2, 11), LightRed);
  EXPECT_EQ(con.grid().rowText(16, 1, 3), "  ") << "the first move blanks row 17";
  EXPECT_EQ(screen.selectedItem, 2);

  screen.markMenuItem(5);
  EXPECT_EQ(con.grid().rowText(10, 1, 3), "  ");
  EXPECT_EQ(con.grid().rowText(14, 1, 3), "->");

  // The marked item again draws nothing but still sets light red.
  Console::setTextColor(Yellow);
  const int presents = con.presents();
  screen.markMenuItem(5);
  EXPECT_EQ(con.presents(), presents);
  EXPECT_EQ(textColorOf(con.device().attribute()), LightRed);

  screen.markMenuItem(0);
  screen.markMenuItem(6);
  EXPECT_EQ(con.grid().rowText(14, 1, 3), "->");
  screen.markMenuItem(1);
  // Only the marker cells ever differ from the start picture.
  CellGrid expected = start;
  expected.at(1, 6) = Cell{'-', 0x1C};
  expected.at(2, 6) = Cell{'>', 0x1C};
  for (int row = 0; row < 25; ++row) {
    for (int x = 1; x <= 2; ++x) {
      if (row != 6) expected.at(x, row) = con.grid().at(x, row);
    }
  }
  EXPECT_EQ(con.grid(), expected);
}

TEST(MainScreen, RoomIndicatorsTurnRedAndGreen) {
  MemoryConsole con;
  MainScreen screen;
  screen.drawScreen();
  screen.showRoomState(3, false);
  EXPECT_EQ(con.grid().at(33, 3).byte, 0xDB);
  EXPECT_EQ(fg(con, 34, 4), LightRed);
  EXPECT_EQ(fg(con, 35, 4), LightRed);
  EXPECT_EQ(fg(con, 36, 4), White) << "only two cells";
  screen.showRoomState(3, true);
  EXPECT_EQ(fg(con, 34, 4), LightGreen);
  screen.showRoomState(6, false);  // no such room: nothing
  EXPECT_EQ(con.grid().rowText(3, 60, 80), "\u2551 Ventende:    -   \u2551");
}

TEST(MainScreen, WaitingFieldKeepsToItsSevenCells) {
  MemoryConsole con;
  MainScreen screen;
  screen.drawScreen();
  const auto field = [&] { return con.grid().rowText(3, 72, 80); };

  screen.showWaitingCounts(10, 3);
  EXPECT_EQ(field(), "10 - 3 \u2551");
  screen.showWaitingCounts(9, 3);
  EXPECT_EQ(field(), "9 - 3  \u2551") << "nothing of the longer text remains";
  screen.showWaitingCounts(100, 10);
  EXPECT_EQ(field(), "100-10 \u2551");
  screen.showWaitingCounts(999, 999);
  EXPECT_EQ(field(), "999-999\u2551");
  screen.showWaitingCounts(1000, 5);
  EXPECT_EQ(field(), "1000-5 \u2551");
  screen.showWaitingCounts(12345, 678);
  EXPECT_EQ(field(), "99+-99+\u2551");
  screen.showWaitingCounts(2147483647, 7);
  EXPECT_EQ(field(), "99+-7  \u2551");
  screen.showWaitingCounts(0, 0);
  EXPECT_EQ(field(), "0 - 0  \u2551");
  EXPECT_EQ(con.grid().rowText(3, 60, 72), "\u2551 Ventende: ");
}

TEST(MainScreen, ErrorBoxWaitsForOneKeyThenLeavesTheBlankPanel) {
  MemoryConsole con({0, 59, 'x'});
  MainScreen screen;
  screen.drawScreen();
  Console::setTextColor(Yellow);
  Console::moveTo(39, 7);
  Console::print("prompt text");
  const CellGrid before = con.grid();

  screen.showErrorBox();
  const CellGrid& box = con.gridAtLastKeyRead();
  EXPECT_EQ(box.rowText(10, 38, 79), "  " + std::string(pictures::kErrorBoxRows[0]) + "  ");
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(box.rowText(10 + i, 40, 77), pictures::kErrorBoxRows[i]) << "row " << 11 + i;
    for (int x = 40; x < 77; ++x) ASSERT_EQ(box.at(x, 10 + i).attribute, 0x4E);
  }
  EXPECT_EQ(box.rowText(6, 38, 79), before.rowText(6, 38, 79)) << "the prompt stays under the box";
  EXPECT_EQ(con.keysLeft(), 2u) << "one key code consumed; the 59 stays for the next reader";
  EXPECT_EQ(Console::readKey(), 59);
  for (int row = 6; row <= 19; ++row) {
    EXPECT_EQ(con.grid().rowText(row - 1, 38, 79), std::string(41, ' ')) << row;
    for (int column = 39; column <= 79; ++column) ASSERT_EQ(bg(con, column, row), Blue);
  }
  EXPECT_EQ(con.grid().rowText(20, 36, 80), before.rowText(20, 36, 80));
  EXPECT_EQ(con.device().cursorShape(), CursorShape::Hidden);
  EXPECT_EQ(textColorOf(con.device().attribute()), Yellow);
}

}  // namespace
