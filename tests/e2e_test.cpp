// The real binary in a real terminal (tmux, detached, fixed size).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "console_types.hpp"
#include "escpos_reader.hpp"
#include "fake_printer.hpp"
#include "screen_pictures.hpp"
#include "tmux_pane.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;

std::string pictureRows(int from, int to) {  // 1-based rows of the start picture
  std::istringstream in(pictures::kStartScreen);
  std::string line, out;
  for (int row = 1; std::getline(in, line); ++row) {
    if (row >= from && row <= to) out += line + "\n";
  }
  return out;
}

std::string screenRows(const VtModel& m, int from, int to) {
  std::string out;
  for (int row = from; row <= to; ++row) out += m.screen.rowText(row - 1) + "\n";
  return out;
}

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("morvalis-e2e-" + std::to_string(getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The program with its standard streams redirected away from the terminal,
  // between two snapshots of the terminal's modes.
  std::unique_ptr<TmuxPane> start(int columns, int rows) {
    const std::string command = std::string("stty -g > before; ") + MORVALIS_BINARY +
                                " </dev/null >/dev/null 2>stderr.txt; rc=$?; "
                                "stty -g > after; printf \"exit=$rc\"; sleep 60";
    auto pane = std::make_unique<TmuxPane>(columns, rows, command, dir_.string());
    pane->waitForText("Ventende: 0 - 0");
    return pane;
  }

  void expectTerminalRestored(TmuxPane& pane) {
    EXPECT_EQ(WorkDirectory::read(dir_ / "before"), WorkDirectory::read(dir_ / "after"))
        << "stty modes";
    EXPECT_TRUE(pane.cursorVisible());
  }

  fs::path dir_;
};

// "" when both pictures have the same rows, else the first row that differs.
std::string difference(const std::string& expected, const std::string& actual) {
  std::istringstream e(expected), a(actual);
  std::string le, la;
  for (int row = 1;; ++row) {
    const bool moreE = static_cast<bool>(std::getline(e, le));
    const bool moreA = static_cast<bool>(std::getline(a, la));
    if (!moreE && !moreA) return "";
    if (le != la || moreE != moreA) {
      return "row " + std::to_string(row) + ":\n expected [" + le + "]\n actual   [" + la + "]";
    }
  }
}

// Alive and not a zombie waiting to be reaped.
bool running(int pid) {
  const std::string stat = WorkDirectory::read("/proc/" + std::to_string(pid) + "/stat");
  const auto close = stat.rfind(')');
  return close != std::string::npos && stat.size() > close + 2 && stat[close + 2] != 'Z';
}

int color(const VtModel& m, int column, int row) {
  return textColorOf(m.screen.at(column - 1, row - 1).attribute);
}
int background(const VtModel& m, int column, int row) {
  return backgroundOf(m.screen.at(column - 1, row - 1).attribute);
}

TEST_F(EndToEnd, StartScreenIn80x25WithItsColoursThenEscRestoresTheTerminal) {
  auto pane = start(80, 25);
  const VtModel screen = pane->capture();
  EXPECT_EQ(difference(pictureRows(1, 24), screenRows(screen, 1, 24)), "");
  EXPECT_EQ(color(screen, 1, 1), White);
  EXPECT_EQ(color(screen, 24, 2), LightRed);
  EXPECT_EQ(color(screen, 3, 4), LightCyan);
  EXPECT_EQ(color(screen, 10, 4), LightGreen);
  EXPECT_EQ(color(screen, 58, 4), LightGreen);
  EXPECT_EQ(color(screen, 73, 4), LightMagenta);
  EXPECT_EQ(color(screen, 4, 15), LightCyan);
  EXPECT_EQ(background(screen, 1, 1), Blue);
  EXPECT_EQ(background(screen, 50, 10), Blue) << "blank cells on blue";
  EXPECT_EQ(background(screen, 79, 23), Blue);
  for (int i = 0; i < 100 && pane->cursorVisible(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(pane->cursorVisible()) << "hidden while the loop waits";

  pane->sendKeys("Escape");
  const VtModel after = pane->waitForText("exit=0");
  EXPECT_EQ(after.screen.rowText(24).substr(0, 6), "exit=0") << "a fresh line below the picture";
  EXPECT_EQ(difference(pictureRows(1, 24), screenRows(after, 1, 24)), "") << "the picture stays";
  expectTerminalRestored(*pane);
}

TEST_F(EndToEnd, In80x24ThePictureFitsAndScrollsUpOneLineAtExit) {
  auto pane = start(80, 24);
  EXPECT_EQ(difference(pictureRows(1, 24), screenRows(pane->capture(), 1, 24)), "");
  pane->sendKeys("Escape");
  const VtModel after = pane->waitForText("exit=0");
  EXPECT_EQ(difference(pictureRows(2, 24), screenRows(after, 1, 23)), "");
  EXPECT_EQ(after.screen.rowText(23).substr(0, 6), "exit=0");
  expectTerminalRestored(*pane);
}

TEST_F(EndToEnd, FunctionKeysMoveTheMarkerOtherKeysDoNothing) {
  auto pane = start(80, 25);
  pane->sendKeys("F3 v");
  VtModel s = pane->waitFor([](const VtModel& m) { return m.screen.rowText(10, 1, 3) == "->"; });
  EXPECT_EQ(s.screen.rowText(10, 1, 3), "->");
  EXPECT_EQ(color(s, 2, 11), LightRed);
  s = pane->waitForText("1 - 0");
  const CellGrid marked = s.screen;

  // Shifted, Ctrl and Alt function keys, F6, arrows, letters, Enter and
  // Ctrl+C while waiting: nothing changes, the program goes on.
  pane->sendKeys("S-F2 C-F3 M-F4 F6 F12 Up Left Home v 3 Enter C-c");
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(pane->capture().screen, marked);
  pane->sendKeys("F3 b");
  s = pane->waitForText("1 - 1");
  EXPECT_EQ(s.screen.rowText(10, 1, 3), "->");

  pane->sendKeys("Escape");
  pane->waitForText("exit=0");
  expectTerminalRestored(*pane);
}

TEST_F(EndToEnd, F3GivesNumbersAndEnterAloneShowsTheErrorBox) {
  auto pane = start(80, 25);
  pane->sendKeys("F3 v");
  VtModel s = pane->waitForText("1 - 0");  // the counts come last
  EXPECT_EQ(s.screen.rowText(6, 38, 79), "Patient:  voksne         (v / b + enter) ");
  EXPECT_EQ(color(s, 39, 9), Yellow);
  EXPECT_EQ(color(s, 55, 9), LightMagenta);
  EXPECT_EQ(color(s, 49, 7), LightMagenta);
  EXPECT_EQ(s.screen.rowText(3, 72, 80), "1 - 0  ║");

  pane->sendKeys("F3 Enter");
  s = pane->waitForText("Programmet har udfoert en ulovlig");
  EXPECT_EQ(background(s, 41, 11), Red);
  EXPECT_EQ(color(s, 43, 13), Yellow);
  pane->sendKeys("Escape");  // only closes the box
  s = pane->waitFor([](const VtModel& m) { return !screenContains(m, "ulovlig"); });
  EXPECT_EQ(s.screen.rowText(12, 38, 79), std::string(41, ' '));
  EXPECT_EQ(background(s, 41, 13), Blue);

  pane->sendKeys("F3 b");
  s = pane->waitForText("1 - 1");
  EXPECT_EQ(s.screen.rowText(8, 38, 57), "Tildelt nummer: 1  ");
  pane->sendKeys("Escape");
  pane->waitForText("exit=0");
  expectTerminalRestored(*pane);
}

TEST_F(EndToEnd, ATechnicianArrivesCallsAPatientAndShowsTheStatus) {
  auto pane = start(80, 25);
  pane->sendKeys("F1 2 v 'Søren' Enter");
  VtModel s = pane->waitFor([](const VtModel& m) { return color(m, 22, 4) == LightRed; });
  EXPECT_EQ(color(s, 22, 4), LightRed);
  EXPECT_EQ(s.screen.rowText(10, 38, 54), "Laborant: Søren ");
  pane->sendKeys("F3 v");
  pane->waitForText("1 - 0");
  pane->sendKeys("F4 2");
  s = pane->waitForText("0 - 0");  // the counts come last
  EXPECT_EQ(s.screen.rowText(10, 38, 60), "Patient type:   voksen");
  EXPECT_EQ(s.screen.rowText(3, 72, 79), "0 - 0  ");
  pane->sendKeys("F5 2");
  s = pane->waitFor([](const VtModel& m) { return m.screen.at(55, 18).byte != ' '; });
  EXPECT_EQ(s.screen.rowText(8, 38, 61), "Patient:         voksne");
  EXPECT_EQ(s.screen.rowText(10, 38, 61), "Laborant:        Søren ");
  EXPECT_EQ(s.screen.rowText(12, 38, 57), "Antal proever:   1 ");
  const std::string start = s.screen.rowText(14, 55, 61);
  EXPECT_TRUE(start[1] == '.' || start[2] == '.') << start;
  const std::string worked = s.screen.rowText(16, 55, 60);
  EXPECT_TRUE(worked == "0.00 " || worked == "0.01 ") << worked;
  EXPECT_EQ(color(s, 56, 19), LightMagenta);
  pane->sendKeys("Escape");
  pane->waitForText("exit=0");
  expectTerminalRestored(*pane);
  EXPECT_EQ(WorkDirectory::read(dir_ / "stderr.txt"),
            "morvalis: 1 shift was still open at ESC; not in data.txt\n");
}

TEST_F(EndToEnd, DepartureWritesTheShiftLogAndFreesTheRoom) {
  WorkDirectory::write(dir_ / "data.txt", "old 1.00 2.00 4 voksne \r\n");
  auto pane = start(80, 25);
  pane->sendKeys("F1 5 b 'Ib Ek' Enter");
  pane->waitFor([](const VtModel& m) { return color(m, 58, 4) == LightRed; });
  pane->sendKeys("F2 5");
  const VtModel s = pane->waitFor([](const VtModel& m) { return color(m, 58, 4) == LightGreen; });
  EXPECT_EQ(color(s, 58, 4), LightGreen);
  const std::string log = WorkDirectory::read(dir_ / "data.txt");
  EXPECT_TRUE(std::regex_match(log, std::regex("Ib Ek \\d+\\.\\d\\d \\d+\\.\\d\\d 0 boern \r\n"
                                               "old 1\\.00 2\\.00 4 voksne \r\n")))
      << log;
  EXPECT_FALSE(fs::exists(dir_ / "temp.txt"));
  pane->sendKeys("Escape");
  pane->waitForText("exit=0");
  expectTerminalRestored(*pane);
}

// Replies, reports, control strings and escapes that no key sends: none
// changes the screen, ends the program or enters a name.
TEST_F(EndToEnd, SequencesThatAreNotKeysLeaveNoTrace) {
  const std::string junk =
      "\033]0;title\a\033[24;1R\033[2P\033O0Q\033[11;1;5~\033P1$r2 q\033\\\033_G\033\\"
      "\033(B\033#8\033[<0;10;5M";
  auto pane = start(80, 25);
  pane->sendKeys("F3 v");
  const CellGrid before = pane->waitForText("1 - 0").screen;
  pane->sendBytes(junk);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::string where;
  EXPECT_TRUE(looksTheSame(before, pane->capture().screen, &where)) << "in the key loop: " << where;

  pane->sendKeys("F1 2 v B");
  pane->sendBytes(junk);
  pane->sendKeys("o Enter");
  VtModel s = pane->waitFor([](const VtModel& m) { return color(m, 22, 4) == LightRed; });
  EXPECT_EQ(s.screen.rowText(10, 38, 79), "Laborant: Bo              (tryk enter)   ");

  pane->sendKeys("F3 Enter");
  pane->waitForText("ulovlig");
  pane->sendKeys("-l '\u20ac'");  // the euro sign: not in the code page, a '?'
  s = pane->waitFor([](const VtModel& m) { return !screenContains(m, "ulovlig"); });
  EXPECT_FALSE(screenContains(s, "ulovlig")) << "an unmapped character closes the error box";
  pane->sendKeys("Escape");
  pane->waitForText("exit=0");
}

TEST_F(EndToEnd, SigtermRestoresTheTerminal) {
  auto pane = start(80, 25);
  const std::string pid =
      runCommand("pgrep -P " + std::to_string(pane->panePid()) + " -x morvalis");
  ASSERT_FALSE(pid.empty());
  ::kill(std::stoi(pid), SIGTERM);
  const VtModel after = pane->waitForText("exit=143");
  EXPECT_TRUE(screenContains(after, "exit=143"));
  expectTerminalRestored(*pane);
}

TEST_F(EndToEnd, HangupEndsTheProgramInsteadOfSpinning) {
  auto pane = start(80, 25);
  const std::string pid =
      runCommand("pgrep -P " + std::to_string(pane->panePid()) + " -x morvalis");
  ASSERT_FALSE(pid.empty());
  pane->kill();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (running(std::stoi(pid)) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_FALSE(running(std::stoi(pid))) << "still running after the terminal went away";
}

// The desk at a fixed moment (test builds read MORVALIS_TEST_NOW).
std::unique_ptr<TmuxPane> deskAt(const fs::path& dir, const std::string& now) {
  auto pane = std::make_unique<TmuxPane>(
      80, 25,
      "MORVALIS_TEST_NOW='" + now + "' " + MORVALIS_BINARY + "; printf \"exit=$?\"; sleep 60",
      dir.string());
  pane->waitForText("Ventende:");
  return pane;
}

void killTheDesk(TmuxPane& pane) {
  const std::string pid = runCommand("pgrep -P " + std::to_string(pane.panePid()) + " -x morvalis");
  ASSERT_FALSE(pid.empty());
  ::kill(std::stoi(pid), SIGKILL);
  pane.waitForText("exit=137");
}

// Killed twice and started again: the same day is taken up, an earlier
// day is set aside, and ESC ends the day.
TEST_F(EndToEnd, KilledTheDayIsTakenUpYesterdayIsSetAsideEscEndsTheDay) {
  auto pane = deskAt(dir_, "2026-12-06 16:00");
  pane->sendKeys("F1 2 v B o Enter F3 v F3 v F4 2");
  pane->waitForText("Indkald nummer: 1");
  killTheDesk(*pane);

  pane = deskAt(dir_, "2026-12-06 16:05");
  VtModel s = pane->waitForText("Genoptaget: 1 ventende, 1 rum optaget");
  EXPECT_EQ(color(s, 22, 4), LightRed);
  EXPECT_TRUE(screenContains(s, "Ventende: 1 - 0"));
  pane->sendKeys("F3 v");
  pane->waitForText("Tildelt nummer: 3");
  killTheDesk(*pane);

  pane = deskAt(dir_, "2026-12-07 07:45");
  s = pane->waitForText("Journal fra 2026-12-06 lagt til side:");
  EXPECT_TRUE(screenContains(s, "gemt i historik/2026-12-06.txt, 1 vagt"));
  EXPECT_EQ(color(s, 22, 4), LightGreen);
  EXPECT_TRUE(screenContains(s, "Ventende: 0 - 0"));
  EXPECT_TRUE(fs::exists(dir_ / "historik" / "2026-12-06.txt"));
  pane->sendKeys("F3 b");
  pane->waitForText("Tildelt nummer: 1");
  EXPECT_TRUE(fs::exists(dir_ / "journal.txt"));
  pane->sendKeys("Escape");
  pane->waitForText("exit=0");
  EXPECT_FALSE(fs::exists(dir_ / "journal.txt"));
}

// The display on the same day as the desk, whatever the real date.
// A short day on the desk with a clock the test sets, ESC, then the
// report of its folder: the waits as they were run, and a CSV in columns.
TEST_F(EndToEnd, ADayOnTheDeskThenItsReport) {
  const fs::path clock = dir_ / "clock";
  WorkDirectory::write(clock, "2026-12-07 08:00");
  auto desk = deskAt(dir_, "@" + clock.string());
  desk->sendKeys("F1 1 v A n n e Enter F3 v F3 v F3 b");
  desk->waitForText("Ventende: 2 - 1");
  WorkDirectory::write(clock, "2026-12-07 08:12");
  desk->sendKeys("F4 1");
  desk->waitForText("Ventende: 1 - 1");
  WorkDirectory::write(clock, "2026-12-07 08:30");
  desk->sendKeys("F4 1");
  desk->waitForText("Ventende: 0 - 1");
  desk->sendKeys("Escape");
  desk->waitForText("exit=0");
  const std::string csv = (dir_ / "dag.csv").string();
  const std::string text =
      runCommand(std::string(MORVALIS_REPORT_BINARY) + " --csv " + csv + " " + dir_.string());
  EXPECT_NE(text.find("2026-12-07  voksne    2      2      0           21,0    30,0    30,0"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("2026-12-07  1    Anne             voksne    8.00   \xC3\xA5" "ben"), std::string::npos)
      << text;
  const std::string table = WorkDirectory::read(csv);
  EXPECT_NE(table.find("2026-12-07;voksne;2;2;0;21,0;30,0;30,0\r\n"), std::string::npos) << table;
  EXPECT_NE(table.find("2026-12-07;b\xC3\xB8rn;1;0;1;;;\r\n"), std::string::npos) << table;
  // Dates a calendar has, in their order.
  for (const char* bad : {"--fra 2026-12-05 --til 2026-12-01", "--til 2026-13-45", "--fra 2026-02-30"}) {
    EXPECT_EQ(runCommand(std::string(MORVALIS_REPORT_BINARY) + " " + bad + " " + dir_.string() +
                         " >/dev/null 2>&1; echo status=$?"),
              "status=2\n") << bad;
  }
}

// Tickets from the real program, on Linux and (the Windows build under
// Wine) over TCP to a printer of the test's own, named in a morvalis.conf
// saved by Notepad: F3 sends one at once; with
// the printer gone the next number comes at once and row 23 says the
// ticket was not printed. The same driver for both.
void ticketsFromTheDesk(const fs::path& dir, const std::string& command) {
  FakePrinter fake;
  // As Notepad saves it: a byte order mark and CR LF.
  WorkDirectory::write(dir / "morvalis.conf",
                       "\xEF\xBB\xBFprinter = " + fake.address() + "\r\nklinik = Blodpr\xC3\xB8ver\r\n");
  TmuxPane pane(80, 25, command + "; printf \"exit=$?\"; sleep 60", dir.string());
  pane.waitFor([](const VtModel& m) { return screenContains(m, "Ventende: 0 - 0"); },
               std::chrono::seconds(30));
  const auto sent = std::chrono::steady_clock::now();
  pane.sendKeys("F3 v");
  ASSERT_TRUE(fake.waitForJobs(1, 2000));
  const auto took = std::chrono::steady_clock::now() - sent;
  EXPECT_LT(took, std::chrono::milliseconds(500)) << "the key's way through the terminal included";
  const Paper paper = readEscPos(fake.received()[0]);
  EXPECT_EQ(paper.largest(), "1");
  EXPECT_NE(paper.text().find("Blodpr\xC3\xB8ver\n"), std::string::npos) << paper.text();
  EXPECT_NE(paper.text().find("Voksen\n"), std::string::npos);
  fake.goAway();
  pane.sendKeys("F3 v");
  pane.waitForText("Tildelt nummer: 2");
  pane.waitForText("Billet ikke udskrevet: printeren svarer ikke");
  pane.sendKeys("Escape");
  pane.waitForText("exit=0");
}

TEST_F(EndToEnd, TicketsGoToANetworkPrinterAndNeverHoldUpTheDesk) {
  ticketsFromTheDesk(dir_, std::string("MORVALIS_TEST_NOW='2026-12-07 09:00' ") + MORVALIS_BINARY);
}

// Setting a printer up: one sample ticket, and one line that says how it went.
TEST_F(EndToEnd, ATestTicketSaysWhetherItGotThere) {
  const std::string run = "cd " + dir_.string() + " && " + MORVALIS_BINARY + " --proevebillet 2>&1; echo status=$?";
  EXPECT_NE(runCommand(run).find("no printer in morvalis.conf"), std::string::npos);
  FakePrinter fake;
  WorkDirectory::write(dir_ / "morvalis.conf", "printer = " + fake.address() + "\n");
  EXPECT_EQ(runCommand(run), "morvalis: the test ticket went to " + fake.address() + "\nstatus=0\n");
  ASSERT_TRUE(fake.waitForJobs(1, 1000));
  EXPECT_EQ(readEscPos(fake.received()[0]).largest(), "17");
  fake.setMode(FakePrinter::Mode::NoPaper);
  EXPECT_EQ(runCommand(run), "morvalis: the test ticket did not get to " + fake.address() +
                                 ": intet papir\nstatus=1\n");
}

TEST_F(EndToEnd, TheWindowsProgramPrintsToANetworkPrinter) {
  if (!fs::exists(MORVALIS_WINDOWS_EXE)) {
    GTEST_SKIP() << MORVALIS_WINDOWS_EXE << " is not built: ./scripts/windows builds it";
  }
  ticketsFromTheDesk(dir_, std::string("WINEPREFIX=") + MORVALIS_WINEPREFIX + " XDG_RUNTIME_DIR=" +
                               MORVALIS_WINE_RUNTIME + " WINEDEBUG=-all wine " +
                               MORVALIS_WINDOWS_EXE);
}

std::unique_ptr<TmuxPane> displayOn(const fs::path& dir, const std::string& now) {
  auto pane = std::make_unique<TmuxPane>(80, 25,
                                         "MORVALIS_TEST_NOW='" + now + "' " +
                                             MORVALIS_DISPLAY_BINARY + " --quiet " + dir.string() +
                                             "; printf \"exit=$?\"; sleep 60",
                                         dir.string());
  pane->waitFor([](const VtModel& m) { return screenContains(m, "Lukket"); });
  return pane;
}

// The row of the display's table for a room, or "" when it has none.
std::string displayRow(const VtModel& m, int room) {
  for (int row = 0; row < m.screen.height(); ++row) {
    const std::string text = m.screen.rowText(row, 2, 40);
    if (text.rfind("Rum " + std::to_string(room) + " ", 0) == 0 &&
        text.find("   ") != std::string::npos) {
      return text;
    }
  }
  return "";
}

TEST_F(EndToEnd, TheWaitingRoomDisplayFollowsTheDesk) {
  auto display = displayOn(dir_, "2026-12-07 09:00");
  auto desk = deskAt(dir_, "2026-12-07 09:00");
  display->waitForText("Ingen er kaldt endnu");
  desk->sendKeys("F1 3 v H a n s Enter F3 v F3 v");
  desk->waitForText("Ventende: 2 - 0");
  const auto sent = std::chrono::steady_clock::now();
  desk->sendKeys("F4 3");
  VtModel s = display->waitFor(
      [](const VtModel& m) { return displayRow(m, 3).find(" 1   voksen") != std::string::npos; });
  const auto delay = std::chrono::steady_clock::now() - sent;
  EXPECT_LT(delay, std::chrono::milliseconds(500));
  EXPECT_FALSE(screenContains(s, "Hans")) << "the screen is public";
  EXPECT_TRUE(screenContains(s, "Rum 3"));
  EXPECT_TRUE(screenContains(s, "Ventende: voksne 1, boern 0"));

  desk->sendKeys("F2 3");
  display->waitFor([](const VtModel& m) { return displayRow(m, 3).empty(); });
  desk->sendKeys("F1 5 b I b Enter F3 b F4 5");
  display->waitFor(
      [](const VtModel& m) { return displayRow(m, 5).find(" 1   barn") != std::string::npos; });
  killTheDesk(*desk);
  desk = deskAt(dir_, "2026-12-07 09:10");
  desk->waitForText("Genoptaget");
  s = display->waitFor([](const VtModel& m) { return !displayRow(m, 5).empty(); });
  EXPECT_NE(displayRow(s, 5).find(" 1   barn"), std::string::npos)
      << "the desk taken up shows again";
  desk->sendKeys("Escape");
  display->waitForText("Lukket");
  display->sendKeys("q");
  display->waitForText("exit=0");
}

// F2 waiting for the directory's lock, which another program holds for
// good: SIGTERM still ends the desk, the terminal given back and the shift
// still open for the next start.
TEST_F(EndToEnd, AWaitForTheLogsLockEndsOnSigterm) {
  auto pane = start(80, 25);
  pane->sendKeys("F1 1 v A l Enter");
  pane->waitFor([](const VtModel& m) { return color(m, 10, 4) == LightRed; });
  const std::string holder =
      runCommand("flock " + dir_.string() + " sleep 60 >/dev/null 2>&1 & echo $!");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  pane->sendKeys("F2 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string pid =
      runCommand("pgrep -P " + std::to_string(pane->panePid()) + " -x morvalis");
  ASSERT_FALSE(pid.empty());
  ::kill(std::stoi(pid), SIGTERM);
  pane->waitForText("exit=143");
  ::kill(std::stoi(holder), SIGKILL);
  expectTerminalRestored(*pane);
  EXPECT_FALSE(fs::exists(dir_ / "data.txt")) << "nothing written";
  EXPECT_NE(WorkDirectory::read(dir_ / "journal.txt").find("ankommer 1 voksen"), std::string::npos);
}

TEST_F(EndToEnd, ASecondCopyInTheSameDirectorySaysSoAndTouchesNothing) {
  auto pane = start(80, 25);
  const std::string status = runCommand("cd " + dir_.string() + " && " + MORVALIS_BINARY +
                                        " </dev/null >/dev/null 2>second.txt; echo $?");
  EXPECT_EQ(status, "1\n");
  EXPECT_EQ(WorkDirectory::read(dir_ / "second.txt"),
            "morvalis: morvalis already runs in this directory\n");
  pane->sendKeys("F3 v");
  pane->waitForText("Ventende: 1 - 0");
}

TEST_F(EndToEnd, TooSmallAWindowShowsAMessageKeysWaitAndThePictureComesBack) {
  auto pane = start(80, 25);
  pane->sendKeys("F3 b");
  const VtModel before = pane->waitForText("0 - 1");
  pane->resize(60, 20);
  VtModel s = pane->waitForText("Vinduet er for lille");
  EXPECT_TRUE(screenContains(s, "mindst 80 x 24")) << s.screen.text();
  EXPECT_FALSE(screenContains(s, "Rum 1")) << "the cut picture is not shown";
  pane->sendKeys("F3 v Escape");  // wait until the picture shows again
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(screenContains(pane->capture(), "Vinduet er for lille")) << "ESC waits too";

  pane->resize(80, 25);
  const VtModel after = pane->waitForText("exit=0");
  EXPECT_EQ(difference(screenRows(before, 1, 3), screenRows(after, 1, 3)), "");
  EXPECT_EQ(after.screen.rowText(3, 72, 79), "1 - 1  ") << "F3 v acted after the repaint";
  EXPECT_EQ(difference(screenRows(before, 20, 24), screenRows(after, 20, 24)), "");
}

TEST_F(EndToEnd, HandBackInALargerWindowLeavesNoBlueOutsideThePicture) {
  auto pane = start(100, 30);
  pane->sendKeys("Escape");
  const VtModel after = pane->waitForText("exit=0");
  EXPECT_EQ(after.screen.rowText(24).substr(0, 6), "exit=0") << "a fresh line below the picture";
  for (int row = 1; row <= 30; ++row) {
    for (int column = row <= 24 ? 81 : 1; column <= 100; ++column) {
      ASSERT_NE(background(after, column, row), Blue) << column << ", " << row;
    }
  }
  EXPECT_EQ(background(after, 80, 24), Blue) << "the picture stays";
}

// The program started from an interactive shell, stopped and continued
// with the shell's job control.
TEST_F(EndToEnd, StoppedAndContinuedItRepaintsAndReadsKeysAtOnce) {
  // exec: the interactive shell is the pane's own process, whichever shell
  // tmux starts the command with (the user's login shell).
  TmuxPane pane(80, 25, "PS1='$ ' exec bash --norc --noprofile -i", dir_.string());
  pane.waitForText("$");
  pane.sendKeys(std::string("'") + MORVALIS_BINARY + " 2>stderr.txt' Enter");
  pane.waitForText("Ventende: 0 - 0");
  pane.sendKeys("F3 v");
  const VtModel before = pane.waitForText("1 - 0");
  const std::string pid = runCommand("pgrep -P " + std::to_string(pane.panePid()) + " -x morvalis");
  ASSERT_FALSE(pid.empty());
  ::kill(std::stoi(pid), SIGTSTP);
  VtModel s = pane.waitForText("Stopped");
  ASSERT_TRUE(screenContains(s, "Stopped")) << s.screen.text();
  EXPECT_EQ(background(s, 1, 25), Black) << "the shell's lines in the default colours";

  pane.sendKeys("fg Enter");
  s = pane.waitFor([&](const VtModel& m) { return looksTheSame(before.screen, m.screen); });
  std::string where;
  EXPECT_TRUE(looksTheSame(before.screen, s.screen, &where)) << where;
  pane.sendKeys("F3 v");
  s = pane.waitForText("2 - 0");
  EXPECT_EQ(s.screen.rowText(3, 72, 79), "2 - 0  ");
  pane.sendKeys("Escape");
  pane.waitForText("$");
}

// GNU screen run inside tmux inherits TMUX, but erases in its default
// colour: the program must tell it from tmux by asking.
TEST_F(EndToEnd, GnuScreenInsideTmuxGetsEveryCellPaintedBlue) {
  if (std::system("screen -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "GNU screen is not installed";
  // autodetach off: when tmux goes, GNU screen ends with its window instead of
  // detaching and leaving the program running.
  WorkDirectory::write(dir_ / "screenrc", "startup_message off\nautodetach off\n");
  TmuxPane pane(80, 25, std::string("screen -c screenrc ") + MORVALIS_BINARY, dir_.string());
  const VtModel s = pane.waitForText("Ventende: 0 - 0");
  ASSERT_TRUE(screenContains(s, "Ventende: 0 - 0")) << s.screen.text();
  for (int row = 1; row <= 24; ++row) {
    for (int column = 1; column <= 80; ++column) {
      ASSERT_EQ(background(s, column, row), Blue) << column << ", " << row;
    }
  }
  pane.sendKeys("Escape");
}

TEST_F(EndToEnd, TooSmallTerminalIsRefusedAndLeftUntouched) {
  TmuxPane pane(70, 20,
                std::string("stty -g > before; ") + MORVALIS_BINARY +
                    " 2>stderr.txt; rc=$?; stty -g > after; printf \"rc=$rc\"; sleep 60",
                dir_.string());
  const VtModel s = pane.waitForText("rc=1");
  EXPECT_EQ(s.screen.rowText(0).substr(0, 4), "rc=1") << "nothing was drawn";
  EXPECT_NE(WorkDirectory::read(dir_ / "stderr.txt").find("morvalis: the terminal is 70 x 20"),
            std::string::npos)
      << WorkDirectory::read(dir_ / "stderr.txt");
  EXPECT_EQ(WorkDirectory::read(dir_ / "before"), WorkDirectory::read(dir_ / "after"));
}

// The Windows build, cross-built by scripts/windows, under Wine's console
// in a terminal: the same picture, the commands, the shift log, the hand-back.
TEST_F(EndToEnd, TheWindowsProgramUnderWine) {
  if (!fs::exists(MORVALIS_WINDOWS_EXE)) {
    GTEST_SKIP() << MORVALIS_WINDOWS_EXE << " is not built: ./scripts/windows builds it";
  }
  WorkDirectory::write(dir_ / "data.txt", "old 1.00 2.00 4 voksne \r\n");
  TmuxPane pane(80, 25,
                std::string("WINEPREFIX=") + MORVALIS_WINEPREFIX +
                    " XDG_RUNTIME_DIR=" + MORVALIS_WINE_RUNTIME + " WINEDEBUG=-all wine " +
                    MORVALIS_WINDOWS_EXE + "; printf \"exit=$?\"; sleep 60",
                dir_.string());
  VtModel s = pane.waitFor([](const VtModel& m) { return screenContains(m, "Ventende: 0 - 0"); },
                           std::chrono::seconds(30));
  EXPECT_EQ(difference(pictureRows(1, 24), screenRows(s, 1, 24)), "");
  EXPECT_EQ(background(s, 50, 10), Blue);
  EXPECT_EQ(color(s, 24, 2), LightRed);
  EXPECT_EQ(color(s, 10, 4), LightGreen);

  pane.sendKeys("F3 v");
  s = pane.waitForText("1 - 0");
  EXPECT_EQ(s.screen.rowText(6, 38, 79), "Patient:  voksne         (v / b + enter) ");
  pane.sendKeys("F1 2 v 'S\u00f8ren' Enter");
  s = pane.waitFor([](const VtModel& m) { return color(m, 22, 4) == LightRed; });
  EXPECT_EQ(s.screen.rowText(10, 38, 54), "Laborant: S\u00f8ren ");
  pane.sendKeys("F2 2");
  pane.waitFor([](const VtModel& m) { return color(m, 22, 4) == LightGreen; });
  EXPECT_TRUE(std::regex_match(WorkDirectory::read(dir_ / "data.txt"),
                               std::regex("S\x9bren \\d+\\.\\d\\d \\d+\\.\\d\\d 0 voksne \r\n"
                                          "old 1\\.00 2\\.00 4 voksne \r\n")))
      << WorkDirectory::read(dir_ / "data.txt");
  EXPECT_FALSE(fs::exists(dir_ / "temp.txt"));

  pane.sendKeys("F3 Enter");
  s = pane.waitForText("ulovlig");
  EXPECT_EQ(background(s, 41, 11), Red);
  pane.sendKeys("x");
  pane.waitFor([](const VtModel& m) { return !screenContains(m, "ulovlig"); });
  pane.sendKeys("Escape");
  s = pane.waitForText("exit=0");
  EXPECT_EQ(s.screen.rowText(24).substr(0, 6), "exit=0") << "a fresh line below the picture";
  EXPECT_EQ(difference(pictureRows(1, 3), screenRows(s, 1, 3)), "") << "the picture stays";
}

// The Windows program ended as TerminateProcess ends it (the Wine process
// killed) takes up its day; a second copy in the folder says so and ends.
TEST_F(EndToEnd, TheWindowsProgramKilledTakesUpItsDay) {
  if (!fs::exists(MORVALIS_WINDOWS_EXE)) {
    GTEST_SKIP() << MORVALIS_WINDOWS_EXE << " is not built: ./scripts/windows builds it";
  }
  const std::string wine = std::string("WINEPREFIX=") + MORVALIS_WINEPREFIX +
                           " XDG_RUNTIME_DIR=" + MORVALIS_WINE_RUNTIME + " WINEDEBUG=-all wine " +
                           MORVALIS_WINDOWS_EXE;
  const auto desk = [&] {
    auto pane =
        std::make_unique<TmuxPane>(80, 25, wine + "; printf \"exit=$?\"; sleep 60", dir_.string());
    pane->waitFor([](const VtModel& m) { return screenContains(m, "Ventende:"); },
                  std::chrono::seconds(30));
    return pane;
  };
  auto pane = desk();
  pane->sendKeys("F3 v F3 b F1 4 b A n n a Enter");
  pane->waitFor([](const VtModel& m) { return color(m, 46, 4) == LightRed; });
  EXPECT_TRUE(fs::exists(dir_ / "journal.txt"));
  const std::string pid =
      runCommand("pgrep -P " + std::to_string(pane->panePid()) + " -x morvalis.exe");
  ASSERT_FALSE(pid.empty());
  ::kill(std::stoi(pid), SIGKILL);
  pane->waitForText("exit=");

  pane = desk();
  VtModel s = pane->waitForText("Genoptaget: 2 ventende, 1 rum optaget");
  EXPECT_EQ(color(s, 46, 4), LightRed);
  EXPECT_TRUE(screenContains(s, "Ventende: 1 - 1"));

  TmuxPane second(80, 25, wine + "; printf \"exit=$?\"; sleep 60", dir_.string());
  s = second.waitFor([](const VtModel& m) { return screenContains(m, "exit="); },
                     std::chrono::seconds(30));
  EXPECT_TRUE(screenContains(s, "morvalis: morvalis already runs in this directory"));
  EXPECT_TRUE(screenContains(s, "exit=1"));

  pane->sendKeys("F4 4");
  pane->waitForText("Indkald nummer: 1");
  pane->sendKeys("Escape");
  pane->waitForText("exit=0");
  EXPECT_FALSE(fs::exists(dir_ / "journal.txt"));
}

TEST_F(EndToEnd, TheWindowsDisplayFollowsTheWindowsDesk) {
  if (!fs::exists(MORVALIS_WINDOWS_DISPLAY_EXE)) {
    GTEST_SKIP() << MORVALIS_WINDOWS_DISPLAY_EXE << " is not built: ./scripts/windows builds it";
  }
  const std::string wine = std::string("WINEPREFIX=") + MORVALIS_WINEPREFIX +
                           " XDG_RUNTIME_DIR=" + MORVALIS_WINE_RUNTIME + " WINEDEBUG=-all wine ";
  TmuxPane display(60, 20,
                   wine + MORVALIS_WINDOWS_DISPLAY_EXE + "; printf \"exit=$?\"; sleep 60",
                   dir_.string());
  display.waitFor([](const VtModel& m) { return screenContains(m, "Lukket"); },
                  std::chrono::seconds(30));
  TmuxPane desk(80, 25, wine + MORVALIS_WINDOWS_EXE + "; printf \"exit=$?\"; sleep 60",
                dir_.string());
  desk.waitFor([](const VtModel& m) { return screenContains(m, "Ventende:"); },
               std::chrono::seconds(30));
  desk.sendKeys("F1 2 b A n n a Enter F3 b F3 b F3 b F3 b F3 b");
  desk.waitForText("Ventende: 0 - 5");
  // From the desk's picture to the display's: the folder's notification
  // wakes the reader and the reader the display, as inotify does on Linux
  // (a look every 200 ms alone would take 100 to 400 ms).
  std::vector<long long> delays;
  VtModel s = display.capture();
  for (int number = 1; number <= 5; ++number) {
    desk.sendKeys("F4 2");
    desk.waitForText("Indkald nummer: " + std::to_string(number));
    const auto called = std::chrono::steady_clock::now();
    const std::string shown = " " + std::to_string(number) + "   barn";
    s = display.waitFor([&](const VtModel& m) { return displayRow(m, 2).find(shown) != std::string::npos; });
    delays.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - called).count());
    desk.sendKeys("Enter");
  }
  std::sort(delays.begin(), delays.end());
  std::printf("Windows desk's call to the Windows display under Wine: median %lld ms, worst %lld ms of 5\n",
              delays[2], delays[4]);
  EXPECT_LT(delays[2], 100) << "the display looked now and then instead of being woken";
  EXPECT_FALSE(screenContains(s, "Anna"));
  // Wine has no Danish voice: the beep stays, and the display says why.
  const VtModel speech =
      display.waitFor([](const VtModel& m) { return screenContains(m, "Kan ikke tale"); },
                      std::chrono::seconds(20));
  EXPECT_TRUE(screenContains(speech, "Kan ikke tale")) << speech.screen.text();
  desk.sendKeys("Escape");
  display.waitFor([](const VtModel& m) { return screenContains(m, "Lukket"); });
  display.sendKeys("q");
  s = display.waitForText("exit=0");
}

TEST(EndToEndNoTerminal, WithoutATerminalItSaysSoAndFails) {
  const std::string err = testing::TempDir() + "/morvalis-no-tty.txt";
  const int status = std::system(
      ("setsid -w " + std::string(MORVALIS_BINARY) + " </dev/null >/dev/null 2>" + err).c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(WorkDirectory::read(err).rfind("morvalis: no terminal", 0), 0u)
      << WorkDirectory::read(err);
  fs::remove(err);
}

}  // namespace
