// F3 through the key loop: numbers per category, the counts, the error box.
#include <gtest/gtest.h>

#include "console.hpp"
#include "front_desk.hpp"
#include "memory_console.hpp"
#include "screen_pictures.hpp"

namespace {

constexpr int kF3 = 61;

std::string panelRow(const CellGrid& g, int row) {
  return g.rowText(row - 1, 38, 79);
}
std::string waiting(const CellGrid& g) {
  return g.rowText(3, 72, 79);
}

TEST(IssueNumber, FirstAdultGetsOneAndTheCountsFollow) {
  MemoryConsole con({0, kF3, 'v', 27});
  FrontDesk desk;
  desk.run();
  EXPECT_EQ(panelRow(con.grid(), 7), "Patient:  voksne         (v / b + enter) ");
  EXPECT_EQ(panelRow(con.grid(), 9), "Tildelt nummer: 1                        ");
  EXPECT_EQ(textColorOf(con.grid().at(38, 8).attribute), Yellow);
  EXPECT_EQ(textColorOf(con.grid().at(54, 8).attribute), LightMagenta) << "number at column 55";
  EXPECT_EQ(waiting(con.grid()), "1 - 0  ");
}

TEST(IssueNumber, EachCategoryCountsOnItsOwn) {
  MemoryConsole con;
  for (const int c : {'v', 'v', 'b', 'v', 'b'}) con.addKeys({0, kF3, c});
  con.addKeys({27});
  FrontDesk desk;
  desk.run();
  EXPECT_EQ(panelRow(con.grid(), 9).substr(0, 18), "Tildelt nummer: 2 ") << "child 2";
  EXPECT_EQ(panelRow(con.grid(), 7).substr(10, 6), "boern ");
  EXPECT_EQ(waiting(con.grid()), "3 - 2  ");
  EXPECT_EQ(desk.queues[0]->counter(), 3);
  EXPECT_EQ(desk.queues[1]->counter(), 2);
}

TEST(IssueNumber, EnterWithoutAChoiceShowsTheErrorBoxAndIssuesNothing) {
  MemoryConsole con({0, kF3, 'V', 13, 'k', 0, kF3, 'v', 27});
  FrontDesk desk;
  desk.run();
  EXPECT_EQ(waiting(con.grid()), "1 - 0  ");
  EXPECT_EQ(panelRow(con.grid(), 9).substr(0, 17), "Tildelt nummer: 1") << "nothing was used up";
}

TEST(IssueNumber, TheErrorBoxWaitsThenThePanelIsBlank) {
  MemoryConsole con({0, kF3, 13});
  FrontDesk desk;
  con.addKeys({0, kF3});  // closes the box: only the 0 is used; 61 reaches the loop as a plain code
  con.addKeys({27});
  desk.run();
  EXPECT_EQ(desk.queues[0]->length(), 0);
  for (int row = 6; row <= 19; ++row) EXPECT_EQ(panelRow(con.grid(), row), std::string(41, ' '));
  EXPECT_EQ(waiting(con.grid()), "0 - 0  ");
}

TEST(IssueNumber, EnterAfterTheLetterReachesTheLoopAndIsIgnored) {
  MemoryConsole con({0, kF3, 'b', 13, 27});
  FrontDesk desk;
  desk.run();
  EXPECT_EQ(waiting(con.grid()), "0 - 1  ");
  EXPECT_EQ(con.keysLeft(), 0u);
}

TEST(IssueNumber, CountsOverADigitChangeAndAnotherCommandBlanksTheAnswer) {
  MemoryConsole con;
  for (int i = 0; i < 10; ++i) con.addKeys({0, kF3, 'v'});
  FrontDesk desk;
  con.addKeys({0, 63, '1', 'x', 27});  // F5 for a free room: the box, closed by 'x'
  desk.run();
  EXPECT_EQ(waiting(con.grid()), "10 - 0 ");
  EXPECT_EQ(panelRow(con.grid(), 9), std::string(41, ' '));
}

}  // namespace
