// What the terminal shows after replaying the renderer's bytes, compared
// with the console grid; and how many bytes that took.
#include <gtest/gtest.h>

#include <string>

#include "console.hpp"
#include "main_screen.hpp"
#include "terminal_renderer.hpp"
#include "vt_model.hpp"

namespace {

// A console face that renders every change into a model terminal.
class ReplayFace : public ConsoleFace {
 public:
  ReplayFace(int columns, int rows, TerminalRenderer::Options options = {})
      : renderer(options),
        terminal(columns, rows),
        device(std::max(columns, 80), std::max(rows, 25), 0x07, *this) {
    renderer.invalidate(columns, rows);
    Console::attach(&device);
  }
  ~ReplayFace() override { Console::attach(nullptr); }

  void present(const ScreenState& state) override {
    std::string out;
    renderer.render(state, out);
    bytes += out.size();
    terminal.feed(out);
    sent += out;
  }
  int nextKeyCode() override { throw ConsoleClosed{}; }

  void resize(int columns, int rows) {
    terminal = VtModel(columns, rows);
    renderer.invalidate(columns, rows);
    present(
        ScreenState{device.grid(), device.cursorX(), device.cursorY(), device.cursorShape(), 0});
  }

  TerminalRenderer renderer;
  VtModel terminal;
  ConsoleDevice device;
  std::size_t bytes = 0;
  std::string sent;
};

// The start-up drawing as the key loop leaves it: the cursor hidden.
void startScreen(MainScreen& screen) {
  screen.drawScreen();
  for (int room = 1; room <= 5; ++room) screen.showRoomState(room, true);
  screen.showWaitingCounts(0, 0);
  Console::setCursorShape(CursorShape::Hidden);
}

void expectShown(const ReplayFace& face) {
  std::string where;
  EXPECT_TRUE(looksTheSame(face.device.grid(), face.terminal.screen, &where)) << where;
  EXPECT_TRUE(face.terminal.unknown.empty()) << face.terminal.unknown.front();
  EXPECT_EQ(face.terminal.rawControls, 0);
}

TEST(TerminalRenderer, StartScreenIsShownExactlyAndCheaply) {
  ReplayFace face(80, 25);
  MainScreen screen;
  startScreen(screen);
  expectShown(face);
  EXPECT_LT(face.bytes, 2700u) << "what ncurses sends for the same screen";
  EXPECT_FALSE(face.terminal.cursorVisible);
}

TEST(TerminalRenderer, ChangesSendOnlyTheirCells) {
  ReplayFace face(80, 25);
  MainScreen screen;
  startScreen(screen);
  const std::size_t start = face.bytes;

  screen.markMenuItem(3);
  screen.clearPanel();  // already blank: costs nothing
  expectShown(face);
  EXPECT_LT(face.bytes - start, 40u);

  const std::size_t before = face.bytes;
  screen.showRoomState(2, true);  // unchanged colour: nothing to send
  screen.markMenuItem(3);
  EXPECT_EQ(face.bytes, before);
}

TEST(TerminalRenderer, ErrorBoxAndItsRemovalReplayExactly) {
  ReplayFace face(80, 25);
  MainScreen screen;
  startScreen(screen);
  Console::setBackground(Red);
  Console::setTextColor(Yellow);
  Console::moveTo(41, 11);
  Console::print("\xC9\xCD\xCD\xBB box \x1b[31m");  // ESC in the text is a glyph, not a command
  expectShown(face);
  Console::setBackground(Blue);
  screen.clearPanel();
  expectShown(face);
}

TEST(TerminalRenderer, CursorShapeAndPositionFollowTheConsole) {
  TerminalRenderer::Options shapes;
  shapes.shapeCursor = true;
  ReplayFace face(80, 25, shapes);
  MainScreen screen;
  startScreen(screen);
  Console::setCursorShape(CursorShape::Normal);
  Console::moveTo(49, 7);
  EXPECT_TRUE(face.terminal.cursorVisible);
  EXPECT_EQ(face.terminal.cursorStyle, 4);
  EXPECT_EQ(face.terminal.x, 48);
  EXPECT_EQ(face.terminal.y, 6);
  Console::print("7");
  EXPECT_EQ(face.terminal.x, 49);
  Console::setCursorShape(CursorShape::Solid);
  EXPECT_EQ(face.terminal.cursorStyle, 2);
  Console::setCursorShape(CursorShape::Hidden);
  EXPECT_FALSE(face.terminal.cursorVisible);
}

TEST(TerminalRenderer, BellIsTheOnlyControlByteSent) {
  ReplayFace face(80, 25);
  Console::print("a\ab");
  EXPECT_EQ(face.terminal.bells, 1);
  for (int b = 0; b < 32; ++b) {
    Console::moveTo(1 + b, 3);
    Console::print("%c", b == 7 || b == 8 || b == 10 || b == 13 ? '.' : b);
  }
  Console::print("%c", 0x7F);
  expectShown(face);
  for (const char c : face.sent) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 && u != 0x1b) {
      EXPECT_EQ(u, 7) << "raw control byte " << int(u);
    }
  }
}

// The Linux console keeps the bold of a bright colour (SGR 9x) through a
// later normal one (3x): there the normal intensity is said (22) each time
// a normal colour follows a bright one, and nowhere else.
TEST(TerminalRenderer, NormalColoursAfterBrightOnesAreNormalOnTheLinuxConsole) {
  for (const bool linux : {true, false}) {
    ReplayFace face(80, 25, {.eraseUsesBackground = true, .linuxCursor = linux});
    Console::setTextColor(White);
    Console::moveTo(1, 1);
    Console::print("A");
    Console::setTextColor(LightGrey);
    Console::print("B");
    Console::setTextColor(Red);
    Console::print("C");
    EXPECT_EQ(face.sent.find("\x1b[22;37m") != std::string::npos, linux) << linux;
    EXPECT_EQ(face.sent.find("\x1b[22;31m"), std::string::npos) << "grey to red: not bright before";
    expectShown(face);
  }
}

TEST(TerminalRenderer, WithoutBackgroundEraseEveryCellIsPainted) {
  ReplayFace face(80, 25, {.eraseUsesBackground = false, .linuxCursor = false});
  MainScreen screen;
  startScreen(screen);
  // A terminal that erases in its default colours: the model's erase still
  // uses the current colour, so make the check strict by comparing exactly.
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 80; ++x) {
      ASSERT_EQ(backgroundOf(face.terminal.screen.at(x, y).attribute), Blue) << x << "," << y;
    }
  }
  expectShown(face);
}

TEST(TerminalRenderer, ResizeRepaintsWhatFits) {
  ReplayFace face(80, 25);
  MainScreen screen;
  startScreen(screen);
  screen.markMenuItem(2);
  face.resize(120, 40);
  expectShown(face);
  face.resize(80, 24);
  expectShown(face);
  face.resize(40, 10);  // smaller than the screen: the top left part, no wrapping
  expectShown(face);
  EXPECT_EQ(
      face.terminal.screen.rowText(0), "\u2554" + [] {
        std::string s;
        for (int i = 0; i < 39; ++i) s += "\u2550";
        return s;
      }());
}

TEST(TerminalRenderer, RestoreLeavesAFreshLineBelowThePicture) {
  ReplayFace face(80, 24);
  MainScreen screen;
  startScreen(screen);
  std::string out;
  face.renderer.restore(face.device.grid(), out);
  face.terminal.feed(out);
  EXPECT_TRUE(face.terminal.cursorVisible);
  EXPECT_EQ(face.terminal.cursorStyle, 0);
  EXPECT_EQ(face.terminal.x, 0);
  EXPECT_EQ(face.terminal.y, 23) << "the last row, after the picture scrolled up one";
  EXPECT_EQ(face.terminal.screen.rowText(22).substr(0, 3), "\u255A") << "bottom frame moved up";
  EXPECT_EQ(face.terminal.screen.rowText(23), std::string(80, ' '));
}

}  // namespace
