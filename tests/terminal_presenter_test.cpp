// What reaches the terminal, write by write: one write per key press, the
// hand-back, the message of a window too small; and what the terminal's
// answers to the start-up queries mean.
#include <gtest/gtest.h>

#include <regex>

#include <map>

#include "front_desk.hpp"
#include "presenter_face.hpp"
#include "key_decoder.hpp"
#include "terminal_replies.hpp"
#include "test_name.hpp"
#include "vt_model.hpp"

namespace {

void startScreen() {
  MainScreen screen;
  screen.drawScreen();
  for (int room = 1; room <= 5; ++room) screen.showRoomState(room, true);
  screen.showWaitingCounts(0, 0);
  Console::setCursorShape(CursorShape::Hidden);
}

TEST(TerminalPresenter, OneWritePerKeyPressAndTheTerminalShowsTheGridAtEveryWait) {
  const std::vector<std::vector<int>> presses = {{0, 61}, {'v'}, {0, 61}, {'b'}, {0, 59}, {'2'},
                                                 {'v'},   {'B'}, {7},     {13},  {0, 62}, {'2'},
                                                 {0, 63}, {'2'}, {0, 62}, {'3'}, {'x'},   {27}};
  VtModel terminal(80, 25);
  std::map<int, int> writes;  // per key press, -1 the start screen
  std::string where;
  PresenterFace* face = nullptr;
  PresenterFace f(80, 25, presses, [&](int press, const std::string& bytes) {
    ++writes[press];
    terminal.feed(bytes);
    EXPECT_TRUE(looksTheSame(face->device.grid(), terminal.screen, &where))
        << "after key press " << press << ": " << where;
  });
  face = &f;
  FrontDesk desk;
  desk.run();
  EXPECT_EQ(writes[-1], 1) << "the start screen";
  for (const auto& [press, count] : writes) EXPECT_EQ(count, 1) << "key press " << press;
  EXPECT_GE(writes.size(), presses.size() - 2) << "nearly every key press changes the screen";
  EXPECT_EQ(terminal.bells, 2) << "Ctrl+G typed in the name, and printed again by F5";
  EXPECT_TRUE(terminal.unknown.empty()) << terminal.unknown.front();
}

TEST(TerminalPresenter, HandBackLeavesDefaultColoursOutsideThePictureAndTheUsersCursor) {
  TerminalRenderer::Options shapes;
  shapes.shapeCursor = true;
  // -1: the terminal never said; nothing is sent, so the model keeps its 0.
  for (const auto& [reported, restored] : {std::pair{2, 2}, std::pair{-1, 0}}) {
    VtModel terminal(100, 30);
    PresenterFace face(
        100, 30, {}, [&](int, const std::string& bytes) { terminal.feed(bytes); }, shapes);
    startScreen();
    face.flush();
    terminal.feed(face.presenter.handBack(face.state(), reported));
    for (int y = 0; y < 30; ++y) {
      for (int x = y < 24 ? 80 : 0; x < 100; ++x) {
        ASSERT_NE(backgroundOf(terminal.screen.at(x, y).attribute), Blue) << x << "," << y;
      }
    }
    EXPECT_EQ(backgroundOf(terminal.screen.at(40, 10).attribute), Blue) << "the picture stays";
    EXPECT_EQ(terminal.cursorStyle, restored);
    EXPECT_TRUE(terminal.cursorVisible);
    EXPECT_EQ(terminal.x, 0);
    EXPECT_EQ(terminal.y, 24) << "a fresh line below the picture";
  }
}

TEST(TerminalPresenter, ATooSmallTerminalShowsAMessageUntilItIsLargeAgain) {
  VtModel terminal(80, 25);
  PresenterFace face(80, 25, {}, [&](int, const std::string& bytes) { terminal.feed(bytes); });
  startScreen();
  face.flush();
  terminal = VtModel(60, 20);
  face.presenter.resize(60, 20);
  face.flush();
  EXPECT_NE(terminal.screen.text().find("Vinduet er for lille"), std::string::npos);
  EXPECT_NE(terminal.screen.text().find("mindst 80 x 24"), std::string::npos);
  EXPECT_EQ(backgroundOf(terminal.screen.at(0, 0).attribute), Blue);
  Console::moveTo(5, 5);
  Console::print("changed while small");
  EXPECT_EQ(face.presenter.take(face.state()), "") << "nothing but the message";

  terminal = VtModel(80, 25);
  face.presenter.resize(80, 25);
  face.flush();
  std::string where;
  EXPECT_TRUE(looksTheSame(face.device.grid(), terminal.screen, &where)) << where;
}

struct RepliesCase {
  const char* name;
  std::vector<std::string> replies;
  const char* term;
  bool erasesInBackground;
  std::optional<int> cursorStyle;
};

class TerminalRepliesTable : public testing::TestWithParam<RepliesCase> {};

TEST_P(TerminalRepliesTable, SayWhatTheTerminalIs) {
  TerminalReplies r;
  for (const auto& reply : GetParam().replies) r.take(reply);
  EXPECT_EQ(r.erasesInBackground(GetParam().term), GetParam().erasesInBackground);
  EXPECT_EQ(r.cursorStyle, GetParam().cursorStyle);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TerminalRepliesTable,
    testing::Values(
        RepliesCase{"tmux", {"\033[>84;0;0c", "\033[?1;2c"}, "screen", true, {}},
        RepliesCase{"GNU screen inside tmux", {"\033[>83;40900;0c"}, "screen", false, {}},
        RepliesCase{
            "xterm with a steady block", {"\033P1$r2 q", "\033[>41;379;0c"}, "xterm", true, 2},
        RepliesCase{"no answer under TERM screen", {}, "screen.xterm-256color", false, {}},
        RepliesCase{"no answer under TERM xterm", {}, "xterm-256color", true, {}},
        RepliesCase{"cursor style not known", {"\033P0$r"}, "xterm", true, {}}),
    [](const testing::TestParamInfo<RepliesCase>& param) { return testNameOf(param.param.name); });

// What each measured terminal answered to the start-up queries, and the
// cursor sequences (DECSCUSR) the program may then send: none at all where
// the terminal did not say which style the user has, and at the end the
// one that gives the user's style back (kitty: 0, its "configured").
TEST(TerminalPresenter, EveryMeasuredTerminalGetsItsOwnCursorBack) {
  struct Row {
    const char* terminal;
    const char* replies;
    const char* expected;  // the DECSCUSR values sent, in order
  };
  const Row rows[] = {
      {"xterm", "\x1b[>41;379;0c\x1bP1$r2 q\x1b\\\x1b[?64;1c", "4 2 4 2"},
      {"st", "\x1b[?6c", ""},
      {"VTE", "\x1b[>65;7006;1c\x1bP1$r0 q\x1b\\\x1b[?65;1;9c", "4 2 4 0"},
      {"rxvt-unicode", "\x1b[>85;95;0c\x1b[?1;2c", ""},
      {"kitty", "\x1b[>1;4000;26c\x1bP1$r1 q\x1b\\\x1b[?62;c", "4 2 4 0"},
      {"alacritty", "\x1b[>0;1700;1c\x1b[?6c", ""},
      {"mlterm", "\x1b[>24;279;0c\x1bP1$r2 q\x1b\\\x1b[?63;1c", "4 2 4 2"},
      {"tmux", "\x1b[>84;0;0c\x1b[?1;2c", ""},
      {"GNU screen", "\x1b[>83;40900;0c\x1b[?1;2c", ""},
  };
  for (const Row& row : rows) {
    KeyDecoder decoder;
    std::vector<int> keys;
    for (const char c : std::string(row.replies)) decoder.feed(static_cast<std::uint8_t>(c), keys);
    TerminalReplies replies;
    for (const std::string& reply : decoder.takeReplies()) replies.take(reply);
    EXPECT_TRUE(keys.empty()) << row.terminal;
    TerminalRenderer::Options options;
    options.shapeCursor = replies.mayShapeCursor();
    std::string sent;
    PresenterFace face(80, 25, {}, [&](int, const std::string& bytes) { sent += bytes; }, options);
    startScreen();
    for (const CursorShape shape : {CursorShape::Normal, CursorShape::Solid, CursorShape::Hidden,
                                    CursorShape::Normal}) {
      Console::setCursorShape(shape);
      face.flush();
    }
    face.presenter.resize(40, 10);  // too small: the hand-back gives the cursor back too
    face.flush();
    sent += face.presenter.handBack(face.state(), replies.restoreStyle());
    std::string styles;
    const std::regex decscusr("\x1b\\[(\\d*) q");
    for (auto i = std::sregex_iterator(sent.begin(), sent.end(), decscusr);
         i != std::sregex_iterator(); ++i) {
      if (!styles.empty()) styles += ' ';
      styles += (*i)[1].str();
    }
    EXPECT_EQ(styles, row.expected) << row.terminal;
    EXPECT_EQ(sent.substr(sent.rfind("\x1b[?25")), "\x1b[?25h") << row.terminal << ": shown at the end";
  }
}

}  // namespace
