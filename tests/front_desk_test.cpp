// The key loop: what starts a command, what ends the loop, what is ignored.
#include "front_desk.hpp"

#include <gtest/gtest.h>

#include "console.hpp"
#include "memory_console.hpp"
#include "screen_pictures.hpp"

namespace {

constexpr int F(int n) {
  return 58 + n;
}

TEST(FrontDesk, StartsWithTheStartScreenAndEndsOnEsc) {
  MemoryConsole con({27});
  FrontDesk desk;
  desk.run();
  EXPECT_EQ(con.grid().text(), pictures::kStartScreen);
  EXPECT_EQ(con.keysLeft(), 0u);
  EXPECT_EQ(con.device().cursorShape(), CursorShape::Hidden);
}

TEST(FrontDesk, ExtendedCode27EndsTheLoopToo) {
  MemoryConsole con({0, 27, 'x'});
  FrontDesk desk;
  desk.run();
  EXPECT_EQ(con.keysLeft(), 1u);
}

TEST(FrontDesk, FunctionKeysMoveTheMarkerAndBlankThePanel) {
  for (int n = 1; n <= 5; ++n) {
    MemoryConsole con({0, F(n)});
    FrontDesk desk;
    // The command then waits for its own input, which this script lacks.
    EXPECT_THROW(desk.run(), ConsoleClosed);
    EXPECT_EQ(con.grid().rowText(desk.menuRows[n - 1] - 1, 1, 3), "->") << "F" << n;
    EXPECT_EQ(desk.selectedItem, n - 1);
  }
}

TEST(FrontDesk, TheSameKeyTwiceKeepsOneMarkerAndBlanksThePanelAgain) {
  MemoryConsole con({0, F(3), 'v', 0, F(3)});
  FrontDesk desk;
  EXPECT_THROW(desk.run(), ConsoleClosed);
  const CellGrid& waiting = con.gridAtLastKeyRead();
  EXPECT_EQ(waiting.rowText(8, 38, 79), std::string(41, ' ')) << "the first answer is gone";
  EXPECT_EQ(waiting.rowText(6, 38, 47), "Patient: ") << "the command runs again";
  int markers = 0;
  for (int row = 0; row < 25; ++row) markers += con.grid().rowText(row, 1, 3) == "->";
  EXPECT_EQ(markers, 1);
}

TEST(FrontDesk, EveryOtherKeyChangesNothing) {
  MemoryConsole con;
  // Shift, Ctrl and Alt with F1, F6, F12, arrows, Home, letters, digits,
  // Enter, Ctrl+C, a failed read, Alt+letter.
  con.addKeys({0, 0x54, 0,   0x5E, 0,   0x68, 0,  0x40, 0,  0x86, 0,    0x48, 0, 0x4B,
               0, 0x47, 'v', 'b',  '1', '5',  13, 3,    -1, 0,    0x1E, 8,    9, -101});
  con.addKeys({27});
  FrontDesk desk;
  desk.run();
  EXPECT_EQ(con.grid().text(), pictures::kStartScreen);
  EXPECT_EQ(desk.selectedItem, 5);
}

TEST(FrontDesk, ASecondCodeLeftByTheLoopIsReadAsAFirstCode) {
  // 0 then 0 then 59: the second 0 is the extended key's code, not a prefix,
  // so 59 arrives as a plain code and starts nothing.
  MemoryConsole con({0, 0, 59, 27});
  FrontDesk desk;
  desk.run();
  EXPECT_EQ(desk.selectedItem, 5);
}

TEST(FrontDesk, AClosedConsoleEndsTheRunInsteadOfSpinning) {
  MemoryConsole con({'a', -1});
  FrontDesk desk;
  EXPECT_THROW(desk.run(), ConsoleClosed);
}

TEST(FrontDesk, StartsWithTwoEmptyQueues) {
  MemoryConsole con;
  FrontDesk desk;
  EXPECT_EQ(desk.queues[0]->length(), 0);
  EXPECT_EQ(desk.queues[1]->length(), 0);
  EXPECT_NE(desk.queues[0].get(), desk.queues[1].get());
  EXPECT_EQ(con.presents(), 0) << "nothing is drawn during construction";
}

}  // namespace
