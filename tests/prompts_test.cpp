// The dialog panel's prompts with scripted keys, checked on the grid.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "console.hpp"
#include "main_screen.hpp"
#include "memory_console.hpp"

namespace {

// A drawn screen with the panel blank, as the key loop leaves it for a command.
struct Panel {
  explicit Panel(std::vector<int> keys) : con(std::move(keys)) {
    screen.drawScreen();
    screen.clearPanel();
  }
  // Columns from..to (1-based, inclusive) of a row.
  std::string text(int row, int from, int to) const {
    return con.grid().rowText(row - 1, from - 1, to);
  }
  int color(int column, int row) const {
    return textColorOf(con.grid().at(column - 1, row - 1).attribute);
  }
  MemoryConsole con;
  MainScreen screen;
};

const std::string kBlank6(6, ' ');

TEST(RoomPrompt, OnlyDigitsOneToFiveEndIt) {
  Panel p({'0', '6', '9', 'a', 13, 27, -1, 0, 59, '3', 13});
  EXPECT_EQ(p.screen.promptRoom(), 3);
  EXPECT_EQ(p.text(7, 39, 79), "Rum nr:   3               (mellem 1 - 5) ");
  EXPECT_EQ(p.color(39, 7), Yellow);
  EXPECT_EQ(p.color(49, 7), LightMagenta);
  EXPECT_EQ(p.color(65, 7), Yellow);
  EXPECT_EQ(p.text(7, 65, 65), "(") << "hint at column 65";
  EXPECT_EQ(p.con.keysLeft(), 1u) << "the Enter after the digit is left for the next reader";
  EXPECT_EQ(p.con.device().cursorShape(), CursorShape::Normal);
  EXPECT_EQ(p.con.gridAtLastKeyRead().rowText(6, 48, 49), " ") << "nothing echoed while waiting";
}

TEST(CategoryPrompt, LowerCaseLettersChooseAtOnce) {
  {
    Panel p({'x', 'b', 13});
    EXPECT_EQ(p.screen.promptCategory(), Child);
    EXPECT_EQ(p.text(7, 39, 79), "Patient:  boern          (v / b + enter) ");
    EXPECT_EQ(p.text(7, 64, 64), "(") << "the F3 hint is at column 64";
    EXPECT_EQ(p.color(49, 7), LightMagenta);
    EXPECT_EQ(p.con.keysLeft(), 1u);
  }
  {
    Panel p({'v', 13});
    EXPECT_EQ(p.screen.promptCategory(), Adult);
    EXPECT_EQ(p.text(7, 49, 54), "voksne");
    EXPECT_EQ(p.con.keysLeft(), 1u) << "Enter after 'v' is not read by the prompt";
  }
}

TEST(CategoryPrompt, UpperCaseIsDroppedAndEnterGivesNone) {
  Panel p({'V', 'B', -1, 13});
  EXPECT_EQ(p.screen.promptCategory(), None);
  EXPECT_EQ(p.text(7, 49, 54), kBlank6) << "nothing echoed";
  EXPECT_EQ(p.con.keysLeft(), 0u);
}

TEST(ArrivalForm, LaysOutThreeLinesAndEchoesTheAnswers) {
  Panel p({'4', 'v', 'H', 'a', 'n', 's', 'e', 'n', 13});
  PatientCategory category = None;
  int room = 0;
  std::string name;
  p.screen.arrivalForm(category, room, name);
  EXPECT_EQ(room, 4);
  EXPECT_EQ(category, Adult);
  EXPECT_EQ(name, "Hansen") << "six letters, Enter not part of it";
  EXPECT_EQ(p.text(7, 39, 79), "Rum nr:   4               (mellem 1 - 5) ");
  EXPECT_EQ(p.text(9, 39, 79), "Patient:  voksne          (v / b + enter)");
  EXPECT_EQ(p.text(11, 39, 79), "Laborant: Hansen          (tryk enter)   ");
  for (const int row : {7, 9, 11}) {
    EXPECT_EQ(p.color(39, row), Yellow);
    EXPECT_EQ(p.color(65, row), Yellow) << "every hint at column 65";
    EXPECT_EQ(p.color(49, row), LightMagenta);
  }
}

TEST(ArrivalForm, EnterAfterTheCategoryLetterEndsTheNameAtOnce) {
  Panel p({'1', 'v', 13, 'x'});
  PatientCategory category = None;
  int room = 0;
  std::string name = "old";
  p.screen.arrivalForm(category, room, name);
  EXPECT_EQ(category, Adult);
  EXPECT_EQ(name, "");
  EXPECT_EQ(p.con.keysLeft(), 1u);
}

TEST(ArrivalForm, EnterAtTheCategoryLineGivesNoneAndTheNameIsStillRead) {
  Panel p({'2', 13, 'B', 'o', 13});
  PatientCategory category = Adult;
  int room = 0;
  std::string name;
  p.screen.arrivalForm(category, room, name);
  EXPECT_EQ(category, None);
  EXPECT_EQ(name, "Bo");
  EXPECT_EQ(p.text(9, 49, 54), kBlank6);
}

TEST(ArrivalForm, NameKeepsTheFirstFifteenCodesAndEndsWithoutEnter) {
  Panel p({'5', 'b'});
  p.con.addText("ABCDEFGHIJKLMNOPQRST");
  PatientCategory category = None;
  int room = 0;
  std::string name;
  p.screen.arrivalForm(category, room, name);
  EXPECT_EQ(name, "ABCDEFGHIJKLMNO");
  EXPECT_EQ(p.con.keysLeft(), 5u) << "the form does not read the other five";
  EXPECT_EQ(p.text(11, 49, 64), "ABCDEFGHIJKLMNO ") << "ends at column 63";
  EXPECT_EQ(p.text(11, 65, 65), "(");
}

TEST(ArrivalForm, NameStoresControlAndExtendedCodesAsTyped) {
  Panel p({'1', 'v', 'A', 'b', 8, 'c', 27, 9, 7, 0, 59, -101, 13});
  PatientCategory category = None;
  int room = 0;
  std::string name;
  p.screen.arrivalForm(category, room, name);
  EXPECT_EQ(name, std::string("Ab\bc\x1b\t\a\0;\x9b", 10));
  // Backspace's echo moved back one column: 'c' stands where 'b' stood.
  EXPECT_EQ(p.con.grid().at(48, 10).byte, 'A');
  EXPECT_EQ(p.con.grid().at(49, 10).byte, 'c');
  EXPECT_EQ(p.con.grid().at(50, 10).byte, 27) << "ESC shows as a glyph";
  EXPECT_EQ(p.con.grid().at(51, 10).byte, 9);
  EXPECT_EQ(p.con.grid().at(53, 10).byte, ';');
  EXPECT_EQ(p.con.grid().at(54, 10).byte, 0x9B);
  EXPECT_EQ(p.con.bells(), 1) << "Ctrl+G's echo beeps";
}

TEST(ArrivalForm, LineFeedsAreDroppedAndNotCountedByte0xFFIsACharacter) {
  Panel p({'3', 'b'});
  for (int i = 0; i < 14; ++i) p.con.addKeys({10, 'a' + i});
  p.con.addKeys({-1, 'z'});
  PatientCategory category = None;
  int room = 0;
  std::string name;
  p.screen.arrivalForm(category, room, name);
  EXPECT_EQ(name, "abcdefghijklmn\xff");
  EXPECT_EQ(p.text(11, 49, 63), "abcdefghijklmn\u00a0") << "0xFF shows as a no-break space";
  EXPECT_EQ(p.con.keysLeft(), 1u) << "the 'z' after the 15th code";
}

// However Backspaces and letters mix, the echo never leaves columns 49-63 of
// row 11: the label and the frame stay as drawn.
TEST(ArrivalForm, BackspaceEchoNeverLeavesTheNameField) {
  Panel empty({'1', 'v', 13});
  PatientCategory category = None;
  int room = 0;
  std::string name;
  empty.screen.arrivalForm(category, room, name);
  const auto outsideField = [](const CellGrid& grid) {
    CellGrid g = grid;
    for (int x = 48; x < 63; ++x) g.at(x, 10) = Cell{};
    return g;
  };
  std::mt19937 rng(7);
  for (int run = 0; run < 200; ++run) {
    std::vector<int> keys{'1', 'v'};
    for (int i = 0; i < 15; ++i) keys.push_back(rng() % 2 ? 8 : 'A' + static_cast<int>(rng() % 26));
    if (run == 0) keys = {'1', 'v', 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 'X', 13};
    Panel p(keys);
    p.screen.arrivalForm(category, room, name);
    ASSERT_EQ(outsideField(p.con.grid()), outsideField(empty.con.grid())) << "run " << run;
    if (run == 0) {
      EXPECT_EQ(name, std::string(12, '\b') + "X") << "every Backspace is stored";
      EXPECT_EQ(p.text(11, 49, 49), "X");
    }
  }
}

TEST(Prompts, AClosedConsoleEndsAWaitingPrompt) {
  Panel p({'x', -1});
  EXPECT_THROW(p.screen.promptRoom(), ConsoleClosed);
}

}  // namespace
