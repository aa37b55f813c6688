// The waiting room's display: its pictures at three window sizes, and how
// it follows the desk's journal (whole lines only, damage, a replacement, a
// closed desk, a new call).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "console_font.hpp"
#include "journal.hpp"
#include "journal_follower.hpp"
#include "expected_wait.hpp"
#include "follower_thread.hpp"
#include "memory_console.hpp"
#include "waiting_room_display.hpp"
#include "waiting_room_view.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;
constexpr CalendarDay kToday{2026, 12, 7};

std::string picture(const MemoryConsole& con) {
  std::string out;
  for (int y = 0; y < con.grid().height(); ++y) out += con.grid().rowText(y) + "\n";
  return out;
}
int color(const MemoryConsole& con, int column, int row) {
  return textColorOf(con.grid().at(column - 1, row - 1).attribute);
}
int background(const MemoryConsole& con, int column, int row) {
  return backgroundOf(con.grid().at(column - 1, row - 1).attribute);
}

// Rooms 1 (children) and 3 (adults) open; adult 17 was just called into 3.
WaitingRoom aMorning() {
  WaitingRoom room;
  room.open = true;
  room.now = TimeOfDay{5, 9, 0, 0};
  room.state.series[0] = SeriesState{20, 3};
  room.state.series[1] = SeriesState{4, 1};
  room.state.rooms[0] = ShiftState{2, "Secret Name", {8, 0}, 3, 0, std::nullopt};
  room.state.rooms[2] = ShiftState{1, "Other Name", {8, 30}, 7, 17, std::nullopt};
  room.state.newestCallRoom = 3;
  room.highlightRoom = 3;
  return room;
}

TEST(WaitingRoomView, SmallWindowPlainText) {
  MemoryConsole con({}, 40, 12);
  drawWaitingRoom(aMorning(), 40, 12);
  EXPECT_EQ(picture(con),
            " Kaldte numre                 kl. 09:05 \n"
            "════════════════════════════════════════\n"
            "                                        \n"
            "  Rum    Nummer   Patient               \n"
            "  Rum 1         -   barn                \n"
            "  Rum 3        17   voksen              \n"
            "                                        \n"
            "                                        \n"
            "                                        \n"
            "                                        \n"
            "                                        \n"
            " Ventende: voksne 3, boern 1            \n");
  EXPECT_EQ(background(con, 3, 6), Red) << "the newest call stands out";
  EXPECT_EQ(color(con, 3, 6), Yellow);
  EXPECT_EQ(background(con, 3, 5), Blue);
  EXPECT_EQ(color(con, 3, 5), White);
  EXPECT_EQ(color(con, 2, 12), LightMagenta);
}

// The whole picture at the sizes a waiting room's screen has, against the
// pictures kept in tests/pictures (MORVALIS_UPDATE_PICTURES=1 writes them
// anew, to be looked at before they are committed): the newest call's
// number and room in big glyphs over at least a third of the rows, the
// table in what is left, its rows as large as fit.
TEST(WaitingRoomView, PicturesAtEverySize) {
  for (const auto& [columns, rows] : {std::pair{40, 12}, {80, 25}, {160, 45}, {240, 67}, {67, 120}}) {
    MemoryConsole con({}, columns, rows);
    drawWaitingRoom(aMorning(), columns, rows);
    const std::string shown = picture(con);
#ifdef MORVALIS_TEST_PICTURES  // the pictures are in the source tree, which Windows tests lack
    const fs::path file = fs::path(MORVALIS_TEST_PICTURES) /
                          ("display-" + std::to_string(columns) + "x" + std::to_string(rows) + ".txt");
    if (std::getenv("MORVALIS_UPDATE_PICTURES")) WorkDirectory::write(file, shown);
    EXPECT_EQ(shown, WorkDirectory::read(file)) << columns << " x " << rows;
#endif
    EXPECT_EQ(shown.find("Name"), std::string::npos) << "no technician's name, ever";
    if (columns < 80) continue;
    // The rows the newest call's glyphs take, and its band stands out.
    // The rows the newest call's glyphs take: from the first row with a
    // block to the next row without one.
    const auto hasBlocks = [&](int y) {
      const std::string text = con.grid().rowText(y);
      return text.find("\u2588") != std::string::npos || text.find("\u2580") != std::string::npos ||
             text.find("\u2584") != std::string::npos;
    };
    int first = 0;
    while (first < rows && !hasBlocks(first)) ++first;
    int glyphRows = 0;
    while (first + glyphRows < rows && hasBlocks(first + glyphRows)) ++glyphRows;
    EXPECT_GE(glyphRows * 3, rows) << columns << " x " << rows;
    std::printf("%d x %d: the newest call's number and room take %d of %d rows (%.0f %%)\n",
                columns, rows, glyphRows, rows, 100.0 * glyphRows / rows);
    EXPECT_EQ(background(con, columns / 2, 5), Red);
    EXPECT_EQ(color(con, 2, rows), LightMagenta) << "the counts keep their place";
  }
}

// The expected waits beside the counts, or on the row above them in a
// narrow window; none for a category with too few calls to say.
// Five rooms busy: at a television's size every room's number in glyphs
// at least five rows high; where not every room fits, the newest calls
// and a word for the rest, never a silent cut.
TEST(WaitingRoomView, EveryRoomReadable) {
  WaitingRoom room = aMorning();
  for (int r = 1; r <= 5; ++r) {
    room.state.rooms[static_cast<std::size_t>(r - 1)] = ShiftState{1, "N", {8, 0}, 1, 100 + r, std::nullopt};
  }
  room.state.newestCallRoom = 5;
  for (const auto& [columns, rows] : {std::pair{40, 12}, {60, 20}, {80, 25}, {240, 20}, {240, 67}}) {
    MemoryConsole con({}, columns, rows);
    drawWaitingRoom(room, columns, rows);
    const std::string shown = picture(con);
    if (shown.find("Rum    Nummer") == std::string::npos) {
      // Glyphs: below the newest call's band, runs of block rows.
      int run = 0, shortest = rows, runs = 0;
      for (int y = rows / 2; y < rows; ++y) {
        const std::string text = con.grid().rowText(y);
        if (text.find("\u2588") != std::string::npos || text.find("\u2580") != std::string::npos) {
          ++run;
        } else if (run > 0) {
          shortest = std::min(shortest, run);
          ++runs;
          run = 0;
        }
      }
      EXPECT_GE(shortest, 5) << columns << " x " << rows;
      EXPECT_GE(runs, 1) << columns << " x " << rows;
      continue;
    }
    int listed = 0;
    for (int r = 1; r <= 5; ++r) listed += shown.find("Rum " + std::to_string(r) + " ") != std::string::npos;
    const auto more = shown.find("+");
    const int rest = more == std::string::npos ? 0 : shown[more + 1] - '0';
    EXPECT_EQ(listed + rest, 5) << columns << " x " << rows << "\n" << shown;
    EXPECT_NE(shown.find("Rum 5 "), std::string::npos) << "the newest call first";
  }
}

// The Linux console's fonts: console-setup's hold the full block but not
// the half blocks, so the glyphs are full blocks alone; a font without
// blocks gets the numbers as text and a word on the problem row.
TEST(WaitingRoomView, OnTheLinuxConsolesFonts) {
  const std::vector<char32_t> lat15 = {U'A', U'\u00F8', U'\u2588', U'\u2591', U'\u2550'};
  EXPECT_EQ(blocksOfFont(lat15), Blocks::FullOnly);
  std::vector<char32_t> unicode = lat15;
  unicode.insert(unicode.end(), {U'\u2580', U'\u2584'});
  EXPECT_EQ(blocksOfFont(unicode), Blocks::Half);
  EXPECT_EQ(blocksOfFont({U'A', U'\u2580'}), Blocks::None);
  for (const Blocks blocks : {Blocks::FullOnly, Blocks::None}) {
    MemoryConsole con({}, 80, 25);
    con.fontBlocks = blocks;
    drawWaitingRoom(aMorning(), 80, 25);
    const std::string shown = picture(con);
    EXPECT_EQ(shown.find("\u2580"), std::string::npos);
    EXPECT_EQ(shown.find("\u2584"), std::string::npos);
    if (blocks == Blocks::FullOnly) {
      EXPECT_NE(shown.find("\u2588"), std::string::npos) << shown;
    } else {
      EXPECT_EQ(shown.find("\u2588"), std::string::npos);
      EXPECT_NE(shown.find("Rum 3        17"), std::string::npos) << shown;
      EXPECT_NE(con.grid().rowText(23).find("Skriften har ingen blokke"), std::string::npos);
    }
  }
}

TEST(WaitingRoomView, ExpectedWaitsBesideTheCounts) {
  WaitingRoom room = aMorning();
  room.expectedMinutes = {15, std::nullopt};
  MemoryConsole wide({}, 80, 25);
  drawWaitingRoom(room, 80, 25);
  EXPECT_EQ(wide.grid().rowText(24),
            " Ventende: voksne 3, boern 1                        Ventetid ca.: voksne 15 min ");
  EXPECT_EQ(color(wide, 60, 25), Yellow);
  room.expectedMinutes = {15, 5};
  MemoryConsole narrow({}, 40, 12);
  drawWaitingRoom(room, 40, 12);
  EXPECT_EQ(narrow.grid().rowText(10), " Ventetid ca.: voksne 15, boern 5 min   ");
  EXPECT_EQ(narrow.grid().rowText(11), " Ventende: voksne 3, boern 1            ");
}

// A room's pace: the time between its calls while others waited; two
// rooms serve twice as fast; the usual pace of the days before speaks for
// the morning's first patients; nothing where nothing is known.
TEST(ExpectedWait, FromEachRoomsPaceAndTheUsualOfTheDaysBefore) {
  ExpectedWait wait;
  const long long t = 9 * 3600;
  wait.called(1, 1, t - 7200, 3);  // two hours ago: not the pace now
  wait.called(1, 1, t - 720, 3);
  wait.called(2, 1, t - 700, 3);  // room 2's first: no gap of its own yet
  EXPECT_FALSE(wait.minutes(1, 2, 1, t)) << "too few gaps in the hour to say";
  wait.called(1, 1, t - 480, 3);
  wait.called(1, 1, t - 240, 2);
  wait.called(1, 1, t, 1);
  EXPECT_EQ(wait.minutes(1, 2, 1, t), 10) << "3 turns of 4 minutes in one room: 12, about 10";
  EXPECT_EQ(wait.minutes(1, 5, 2, t), 10) << "6 turns of 4 minutes in two rooms: 12";
  EXPECT_EQ(wait.minutes(1, 0, 1, t + 60), 5) << "at least 5";
  EXPECT_FALSE(wait.minutes(1, 2, 0, t)) << "no room open";
  EXPECT_FALSE(wait.minutes(2, 0, 1, t)) << "the children's calls are their own";
  EXPECT_FALSE(wait.minutes(1, 2, 1, t - 3600)) << "a clock set back: no call lies ahead";
  ExpectedWait idle;  // nobody waited between the calls: the rooms keep up
  for (int i = 0; i < 3; ++i) idle.called(1, 1, t + i * 900, 0);
  EXPECT_EQ(idle.minutes(1, 0, 1, t + 1800), 5);

  // The days before: a room took 6 minutes a patient at 8 and 2 at 9.
  std::vector<std::string> days;
  for (int d = 1; d <= 2; ++d) {
    std::string text;
    std::int64_t seq = 1;
    const CalendarDay day{2026, 12, d};
    const auto add = [&](int second, Change c) { text += journalLine(seq++, Moment{day, second}, c); };
    add(7 * 3600, Change(ChangeKind::Day));
    Change opened(ChangeKind::Opened, 1, 1);
    add(7 * 3600, opened);
    for (int n = 1; n <= 20; ++n) {
      Change issued(ChangeKind::Issued, 0, 1);
      issued.number = n;
      add(7 * 3600, issued);
    }
    int at = 8 * 3600;
    for (int n = 1; n <= 20; ++n, at += at < 9 * 3600 ? 360 : 120) {
      Change called(ChangeKind::Called, 1, 1);
      called.number = n;
      add(at, called);
    }
    days.push_back(text);
  }
  const ExpectedWait::Usual usual = ExpectedWait::usualOf(days);
  EXPECT_DOUBLE_EQ(usual.at(1, 8).value_or(0), 360.0);
  EXPECT_DOUBLE_EQ(usual.at(1, 9).value_or(0), 120.0);
  EXPECT_FALSE(usual.at(2, 8)) << "no children's gaps";
  ExpectedWait morning;
  morning.setUsual(usual);
  const long long opening = 8 * 3600;
  EXPECT_EQ(morning.minutes(1, 9, 2, opening), 30) << "the burst before any call: 10 x 6 min / 2 rooms";
  EXPECT_EQ(morning.minutes(1, 9, 2, 9 * 3600 + 60), 10) << "the usual of the hour";
}

TEST(WaitingRoomView, ClosedQuietlyWithTheTime) {
  MemoryConsole con({}, 60, 20);
  WaitingRoom closed;
  closed.now = TimeOfDay{30, 7, 0, 0};
  drawWaitingRoom(closed, 60, 20);
  EXPECT_EQ(con.grid().rowText(9), std::string(27, ' ') + "Lukket" + std::string(27, ' '));
  EXPECT_EQ(con.grid().rowText(11), std::string(25, ' ') + "kl. 07:30" + std::string(26, ' '));
  EXPECT_EQ(background(con, 1, 1), Black);
  EXPECT_EQ(color(con, 28, 10), LightGrey);
  closed.problem = "Journalen er skadet efter linje 12";
  drawWaitingRoom(closed, 60, 20);
  EXPECT_EQ(con.grid().rowText(18, 0, 36), " Journalen er skadet efter linje 12 ");
  EXPECT_EQ(background(con, 2, 19), Red);
}

class Following : public testing::Test {
 protected:
  WorkDirectory dir{testing::UnitTest::GetInstance()->current_test_info()->name()};
  Journal desk{FileSystem::real(), [] { return kToday; }};
  JournalFollower follower{".", FileSystem::real(), [] { return kToday; }};
  DayState state;

  void issue(int category) {
    Change issued(ChangeKind::Issued, 0, category);
    issued.number = state.series[static_cast<std::size_t>(category - 1)].counter + 1;
    ASSERT_TRUE(applyChange(state, issued));
    desk.record(issued, [this] { return state; });
  }
  void call(int room, int category) {
    Change called(ChangeKind::Called, room, category);
    const auto& s = state.series[static_cast<std::size_t>(category - 1)];
    called.number = s.counter - s.waiting + 1;
    ASSERT_TRUE(applyChange(state, called));
    desk.record(called, [this] { return state; });
  }
  void open(int room, int category) {
    Change opened(ChangeKind::Opened, room, category);
    opened.name = "X";
    ASSERT_TRUE(applyChange(state, opened));
    desk.record(opened, [this] { return state; });
  }
};

TEST_F(Following, ClosedUntilTheDeskStartsThenEveryChangeAndEachNewCallOnce) {
  EXPECT_FALSE(follower.poll());
  EXPECT_EQ(follower.desk(), JournalFollower::Desk::Closed);
  desk.rewrite(state);
  EXPECT_TRUE(follower.poll());
  EXPECT_EQ(follower.desk(), JournalFollower::Desk::Open);
  open(2, 1);
  issue(1);
  issue(1);
  EXPECT_TRUE(follower.poll());
  EXPECT_EQ(follower.newCallRoom(), 0);
  EXPECT_FALSE(follower.poll()) << "nothing changed: the file is not even read";
  call(2, 1);
  EXPECT_TRUE(follower.poll());
  EXPECT_EQ(follower.newCallRoom(), 2);
  EXPECT_EQ(follower.state().rooms[1]->lastCalled, 1);
  issue(1);
  issue(1);
  call(2, 1);
  call(2, 1);
  EXPECT_TRUE(follower.poll());
  EXPECT_EQ(follower.newCallRoom(), 2) << "the same room again is a new call";
  EXPECT_EQ(follower.newCalls(), (std::vector<std::pair<int, std::int32_t>>{{2, 2}, {2, 3}}))
      << "two calls between two reads: both, in order";
  // A booth's call again is a new call, said with "igen"; a number marked
  // not met is no longer shown as the room's.
  Change again(ChangeKind::Recalled, 2, 1);
  again.number = 3;
  ASSERT_TRUE(applyChange(state, again));
  desk.record(again, [this] { return state; });
  EXPECT_TRUE(follower.poll());
  EXPECT_EQ(follower.newCallRoom(), 2);
  EXPECT_EQ(follower.newCalls(), (std::vector<std::pair<int, std::int32_t>>{{2, 3}}));
  EXPECT_EQ(follower.newCallsAgain(), std::vector<bool>{true});
  EXPECT_EQ(announcementOf(3, 2, true), "Nummer 3, rum 2, igen");
  Change notMet(ChangeKind::NotMet, 2, 1);
  notMet.number = 3;
  ASSERT_TRUE(applyChange(state, notMet));
  desk.record(notMet, [this] { return state; });
  EXPECT_TRUE(follower.poll());
  EXPECT_EQ(follower.state().rooms[1]->lastCalled, 0);
  desk.rewrite(state);  // the desk started again: the same state, rewritten
  follower.poll();
  EXPECT_EQ(follower.newCallRoom(), 0);
  EXPECT_TRUE(follower.newCalls().empty());
  EXPECT_EQ(follower.state(), state);
  desk.closeDay(state);
  EXPECT_TRUE(follower.poll());
  EXPECT_EQ(follower.desk(), JournalFollower::Desk::Closed);
}

TEST_F(Following, OnlyWholeLinesAndDamageIsSaid) {
  desk.rewrite(state);
  open(1, 2);
  const std::string whole = WorkDirectory::read(Journal::kFileName);
  Change issued(ChangeKind::Issued, 0, 2);
  issued.number = 1;
  const std::string line = journalLine(3, kToday, issued);
  WorkDirectory::write(Journal::kFileName, whole + line.substr(0, 12));  // being written
  follower.poll();
  EXPECT_EQ(follower.state().series[1].waiting, 0);
  WorkDirectory::write(Journal::kFileName, whole + line);
  follower.poll();
  EXPECT_EQ(follower.state().series[1].waiting, 1);

  std::string damaged = whole + line;
  damaged[whole.size() - 10] ^= 1;
  WorkDirectory::write(Journal::kFileName, damaged);
  follower.poll();
  EXPECT_EQ(follower.desk(), JournalFollower::Desk::Unreadable);
  EXPECT_EQ(follower.problem(), "Journalen er skadet efter linje 1");

  WorkDirectory::write(Journal::kFileName, "1 2026-12-06 dag 0 " + std::string("00000000\r\n"));
  follower.poll();
  EXPECT_EQ(follower.desk(), JournalFollower::Desk::Unreadable) << "a bad only line";
}

TEST_F(Following, YesterdaysJournalAndAMissingFolder) {
  Journal yesterday(FileSystem::real(), [] { return CalendarDay{2026, 12, 6}; });
  yesterday.rewrite(state);
  follower.poll();
  EXPECT_EQ(follower.desk(), JournalFollower::Desk::Closed);

  fs::create_directory("desk");
  JournalFollower away("desk", FileSystem::real(), [] { return kToday; });
  away.poll();
  EXPECT_EQ(away.desk(), JournalFollower::Desk::Closed);
  fs::remove("desk");
  EXPECT_TRUE(away.poll());
  EXPECT_EQ(away.problem(), "Mappen desk findes ikke");
  fs::create_directory("desk");
  EXPECT_TRUE(away.poll());
  EXPECT_EQ(away.desk(), JournalFollower::Desk::Closed);
  EXPECT_EQ(away.problem(), "");
}

// Reads of the journal that wait, while hang(true), as on a share whose
// server hangs.
class HangingFiles : public FileSystem {
 public:
  Handle openRead(const std::string& path) override {
    std::unique_lock<std::mutex> lock(mutex_);
    let_go_.wait(lock, [this] { return !hanging_; });
    lock.unlock();
    return FileSystem::openRead(path);
  }
  void hang(bool on) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      hanging_ = on;
    }
    let_go_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable let_go_;
  bool hanging_ = false;
};

// The display's reads on a thread of their own: every call between two
// looks is taken (two reads between them lose none), and a read that
// hangs holds up neither a look nor the end.
TEST_F(Following, OnAThreadOfItsOwnAHangingReadHoldsUpNothing) {
  static HangingFiles files;  // a read left hanging may outlive the test
  const auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(3 * FollowerThread::kPollMs)); };
  open(1, 1);
  issue(1);
  issue(1);
  issue(1);
  auto reader = std::make_unique<FollowerThread>(JournalFollower(".", files, [] { return kToday; }), ".");
  EXPECT_TRUE(reader->poll());
  EXPECT_EQ(reader->day().desk(), JournalFollower::Desk::Open) << "read before the first picture";
  call(1, 1);
  settle();
  call(1, 1);
  settle();
  EXPECT_TRUE(reader->poll());
  EXPECT_EQ(reader->day().newCalls(), (std::vector<std::pair<int, std::int32_t>>{{1, 1}, {1, 2}}));
  EXPECT_EQ(reader->day().newCallRoom(), 1);
  EXPECT_FALSE(reader->poll());

  files.hang(true);
  call(1, 1);
  settle();
  const auto look = std::chrono::steady_clock::now();
  EXPECT_FALSE(reader->poll());
  EXPECT_LT(std::chrono::steady_clock::now() - look, std::chrono::milliseconds(50));
  EXPECT_EQ(reader->day().state().rooms[0]->lastCalled, 2) << "the picture stays on the last read";
  const auto end = std::chrono::steady_clock::now();
  reader.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - end, std::chrono::milliseconds(1000)) << "the end waits no more";
  files.hang(false);
}

TEST(WaitingRoomLoop, OnlyQOrEscEndItAndANewCallBeepsUnlessQuiet) {
  for (const int end : {int{'q'}, 27}) {
    WorkDirectory dir("display-loop");
    MemoryConsole con({'x', 0, 59, MemoryConsole::kNoKey, 13, end, 'z'}, 40, 12);
    JournalFollower follower(".", FileSystem::real(), [] { return kToday; });
    WaitingRoomDisplay display(follower,
                               {[] {
                                  return TimeOfDay{0, 9, 0, 0};
                                },
                                [] { return 0; },
                                {}},
                               false);
    display.run();
    EXPECT_EQ(con.keysLeft(), 1u) << end;
    EXPECT_EQ(con.grid().rowText(5, 0, 40).find("Lukket"), 17u);
  }
}

}  // namespace
