// The console writer, colours and cursor placement, through the in-memory console.
#include <gtest/gtest.h>

#include "code_page.hpp"
#include "console.hpp"
#include "memory_console.hpp"

namespace {

struct CursorAt {
  int column;
  int row;
};

CursorAt cursor(const MemoryConsole& con) {
  return {con.device().cursorX() + 1, con.device().cursorY() + 1};
}

TEST(ConsoleWriter, FiveFullRowsWrapIntoRowsOneToFive) {
  MemoryConsole con;
  const std::string row(80, 'x');
  for (int i = 0; i < 5; ++i) Console::print("%s", row.c_str());
  for (int y = 0; y < 5; ++y) EXPECT_EQ(con.grid().rowText(y), row);
  EXPECT_EQ(con.grid().rowText(5), std::string(80, ' '));
  EXPECT_EQ(cursor(con).column, 1);
  EXPECT_EQ(cursor(con).row, 6);
}

TEST(ConsoleWriter, LastCellOfRow24WrapsWithoutScrollRow25Scrolls) {
  MemoryConsole con;
  Console::moveTo(1, 1);
  Console::print("top");
  Console::moveTo(80, 24);
  Console::print("a");
  EXPECT_EQ(cursor(con).row, 25);
  EXPECT_EQ(con.grid().rowText(0, 0, 3), "top");

  Console::setBackground(Blue);
  Console::moveTo(80, 25);
  Console::print("b");
  EXPECT_EQ(cursor(con).column, 1);
  EXPECT_EQ(cursor(con).row, 25);
  EXPECT_EQ(con.grid().rowText(0, 0, 3), "   ") << "row 1 scrolled away";
  EXPECT_EQ(con.grid().at(79, 22).byte, 'a');
  EXPECT_EQ(con.grid().at(79, 23).byte, 'b');
  for (int x = 0; x < 80; ++x) EXPECT_EQ(con.grid().at(x, 24), (Cell{' ', 0x17}));
}

TEST(ConsoleWriter, ControlBytes) {
  MemoryConsole con;
  Console::print("ab\ncd");
  EXPECT_EQ(con.grid().rowText(0, 0, 4), "ab  ");
  EXPECT_EQ(con.grid().rowText(1, 0, 4), "  cd");

  Console::print("\rX");
  EXPECT_EQ(con.grid().rowText(1, 0, 1), "X");

  Console::moveTo(1, 5);
  Console::print("\b");
  EXPECT_EQ(cursor(con).column, 1) << "backspace stops at the left edge";
  Console::print("pq\br");
  EXPECT_EQ(con.grid().rowText(4, 0, 2), "pr") << "backspace moves back, erases nothing";

  const Cell before = con.grid().at(2, 4);
  Console::print("\a");
  EXPECT_EQ(con.bells(), 1);
  EXPECT_EQ(con.grid().at(2, 4), before);
  EXPECT_EQ(cursor(con).column, 3);

  // Tab, ESC and NUL are glyphs, one cell each.
  Console::moveTo(1, 7);
  Console::print("\t\x1b%c.", 0);
  EXPECT_EQ(con.grid().at(0, 6).byte, 9);
  EXPECT_EQ(con.grid().at(1, 6).byte, 27);
  EXPECT_EQ(con.grid().at(2, 6).byte, 0);
  EXPECT_EQ(con.grid().at(3, 6).byte, '.');
}

TEST(ConsoleWriter, MoveOutsideTheWindowIsIgnored) {
  MemoryConsole con;
  Console::moveTo(10, 3);
  Console::moveTo(0, 5);
  Console::moveTo(81, 5);
  Console::moveTo(5, 26);
  Console::moveTo(5, 0);
  Console::print("z");
  EXPECT_EQ(con.grid().at(9, 2).byte, 'z');
}

TEST(ConsoleWriter, ColoursCombineIntoTheAttribute) {
  MemoryConsole con;
  Console::setBackground(Blue);
  Console::clear();
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 80; ++x) ASSERT_EQ(con.grid().at(x, y), (Cell{' ', 0x17}));
  }
  EXPECT_EQ(cursor(con).column, 1);
  EXPECT_EQ(cursor(con).row, 1);
  Console::setTextColor(Yellow);
  EXPECT_EQ(con.device().attribute(), 0x1E);
  Console::setBackground(Red);
  EXPECT_EQ(con.device().attribute(), 0x4E);
  Console::setBackground(Blue);
  EXPECT_EQ(con.device().attribute(), 0x1E);
  Console::setBackground(9);  // bright backgrounds fold onto 0..7
  EXPECT_EQ(con.device().attribute(), 0x1E);
}

TEST(ConsoleWriter, FormatsPrintBytesAndSignedDecimals) {
  MemoryConsole con;
  Console::print("%i|%i|%c|%c", -42, 2147483647, 'A', 0x19B);
  EXPECT_EQ(con.grid().rowText(0, 0, 18), "-42|2147483647|A|\u00F8");
  const std::string longText(300, 'q');
  Console::moveTo(1, 3);
  Console::print("%s", longText.c_str());
  EXPECT_EQ(con.grid().rowText(5, 0, 60), std::string(60, 'q'));
  EXPECT_EQ(con.grid().at(60, 5).byte, ' ');
}

TEST(ConsoleKeys, ScriptIsReadInOrderThenTheConsoleCloses) {
  MemoryConsole con({0, 59, 27});
  EXPECT_EQ(Console::readKey(), 0);
  EXPECT_EQ(Console::readKey(), 59);
  EXPECT_EQ(Console::readKey(), 27);
  EXPECT_THROW(Console::readKey(), ConsoleClosed);
}

TEST(CodePage, GlyphsRoundTripAndControlBytesHaveGlyphs) {
  for (int b = 0x20; b < 0x100; ++b) {
    if (b == 0x7F) continue;
    const auto back = byteOf(glyphOf(static_cast<std::uint8_t>(b)));
    ASSERT_TRUE(back.has_value()) << b;
    EXPECT_EQ(*back, b);
  }
  EXPECT_EQ(glyphOf(0x9B), U'\u00F8');  // ø: where 865 differs from 437
  EXPECT_EQ(glyphOf(0x9D), U'\u00D8');
  EXPECT_EQ(glyphOf(0xAF), U'\u00A4');
  EXPECT_EQ(glyphOf(0xC9), U'\u2554');
  EXPECT_EQ(glyphOf(0x1B), U'\u2190');
  EXPECT_FALSE(byteOf(U'\u20AC').has_value());  // € is not in the code page
}

}  // namespace
