// The day's journal on the real program. Real ends: a scripted day is killed (SIGKILL, and
// sometimes SIGTERM or a closed terminal) at random points and started again each time; meanwhile
// the journal is removed under the desk now and then, midnight passes, and for a while the journal
// cannot be written. After every start the rooms and waiting counts are those of just before the
// kill, or, when the command in flight got through, just after it; at the end data.txt is byte for
// byte that of the same day run without a kill. Real faults: a read-only file system and a journal
// that is a folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include <unistd.h>

#include "console_types.hpp"
#include "journal_format.hpp"
#include "pty_program.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;

// What the screen shows of the state: the five rooms and both waiting counts.
struct Visible {
  std::array<bool, 5> open{};
  std::array<int, 2> waiting{};
  std::array<int, 2> counter{};  // not visible; drives the script
  std::array<int, 5> category{};
  bool operator==(const Visible& o) const { return open == o.open && waiting == o.waiting; }
};

bool shows(const VtModel& m, const Visible& v) {
  constexpr int kColumns[] = {10, 22, 34, 46, 58};
  for (std::size_t r = 0; r < 5; ++r) {
    const int color = textColorOf(m.screen.at(kColumns[r] - 1, 3).attribute);
    if (color != (v.open[r] ? LightRed : LightGreen)) return false;
  }
  const std::string a = std::to_string(v.waiting[0]), c = std::to_string(v.waiting[1]);
  std::string waiting = a.size() + c.size() + 3 <= 7 ? a + " - " + c : a + "-" + c;
  waiting.resize(7, ' ');
  return m.screen.rowText(3, 72, 79) == waiting;
}

struct Command {
  std::string keys;
  Visible after;
};

// A day of `count` commands, each possible in the state it meets, so each
// changes what the screen shows.
std::vector<Command> aDay(int count, std::mt19937& random) {
  const char* fKeys[] = {"\x1bOP", "\x1bOQ", "\x1bOR", "\x1bOS"};
  Visible v;
  std::vector<Command> day;
  while (static_cast<int>(day.size()) < count) {
    const int kind = static_cast<int>(random() % 10);
    const int room = static_cast<int>(random() % 5);
    const int category = static_cast<int>(random() % 2);
    Command c;
    if (kind < 4) {  // F3
      c.keys = std::string(fKeys[2]) + (category == 0 ? "v" : "b");
      ++v.waiting[category];
      ++v.counter[category];
    } else if (kind < 7) {  // F4 into an open room whose category waits
      if (!v.open[room] || v.waiting[v.category[room]] == 0) continue;
      c.keys = std::string(fKeys[3]) + static_cast<char>('1' + room);
      --v.waiting[v.category[room]];
    } else if (kind < 9) {  // F1
      if (v.open[room]) continue;
      c.keys = std::string(fKeys[0]) + static_cast<char>('1' + room) + (category == 0 ? "v" : "b") +
               "Tek " + std::to_string(day.size()) + "\r";
      v.open[room] = true;
      v.category[room] = category;
    } else {  // F2
      if (!v.open[room]) continue;
      c.keys = std::string(fKeys[1]) + static_cast<char>('1' + room);
      v.open[room] = false;
    }
    c.after = v;
    day.push_back(c);
  }
  return day;
}

// `now`: the moment, or "@FILE" to read it from FILE at every reading.
std::unique_ptr<PtyProgram> start(const fs::path& dir, const std::string& now = "2026-12-07 08:30") {
  auto program = std::make_unique<PtyProgram>(
      std::vector<std::string>{MORVALIS_BINARY}, dir.string(),
      std::vector<std::string>{"TERM=xterm", "LANG=C.UTF-8", "LC_ALL=C.UTF-8",
                               "MORVALIS_TEST_NOW=" + now});
  return program;
}

bool showsWarning(const VtModel& m) {
  return m.screen.rowText(22).find("Advarsel: journal kan ikke skrives") != std::string::npos;
}

void endTheDay(PtyProgram& program) {
  program.send("\x1b");
  for (int i = 0; i < 500 && kill(program.pid(), 0) == 0; ++i) {
    program.waitFor([](const VtModel&) { return false; }, std::chrono::milliseconds(10));
    int status = 0;
    if (waitpid(program.pid(), &status, WNOHANG) != 0) break;
  }
}

TEST(KillTest, ADayKilledAtRandomLosesNoNumberAndNoShift) {
  std::mt19937 random(20261207);
  const unsigned seed = 20261207;
  constexpr int kCommands = 240;
  const auto day = aDay(kCommands, random);

  // The same day once without a kill: the data.txt to compare with.
  WorkDirectory quiet("kill-quiet");
  {
    auto program = start(quiet.path());
    for (std::size_t i = 0; i < day.size(); ++i) {
      program->send(day[i].keys);
      ASSERT_TRUE(program->waitFor([&](const VtModel& m) { return shows(m, day[i].after); }))
          << "command " << i;
    }
    program->send("\x1b");
    program->signal(0);
  }
  const std::string expected = WorkDirectory::read(quiet.path() / "data.txt");
  ASSERT_FALSE(expected.empty());

  WorkDirectory dir("kill-killed");
  const fs::path clock = dir.path() / "clock";
  const fs::path journal = dir.path() / "journal.txt";
  WorkDirectory::write(clock, "2026-12-07 08:30");
  // Commands in [unwritableFrom, unwritableTo) run with a folder where the
  // journal should be: none of them is killed, since the warning says a
  // crash then loses the day; the first change after it mends the journal.
  const std::size_t midnight = kCommands / 3, unwritableFrom = kCommands / 2,
                    unwritableTo = unwritableFrom + 8;
  const auto began = std::chrono::steady_clock::now();
  int kills = 0, terms = 0, hangUps = 0, redone = 0, removed = 0;
  auto program = start(dir.path(), "@" + clock.string());
  Visible before;
  for (std::size_t i = 0; i < day.size();) {
    const Command& c = day[i];
    if (i == midnight) {
      // Midnight with nothing else happening: the desk writes the new date
      // (an ignored key ends its wait at once, instead of at the minute).
      WorkDirectory::write(clock, "2026-12-08 08:30");  // the times logged stay the same
      program->send("x");
      for (int tries = 0; tries < 200 && replayJournal(WorkDirectory::read(journal)).day !=
                                             "2026-12-08";
           ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      ASSERT_EQ(replayJournal(WorkDirectory::read(journal)).day, "2026-12-08");
    }
    if (i == unwritableFrom) {
      fs::remove(journal);
      fs::create_directory(journal);
    }
    if (i == unwritableTo) fs::remove(journal);
    // Removed under the desk: the next change writes it again, whole. Until
    // then (as while it cannot be written) a kill would lose the day.
    const bool removeNow = i < unwritableFrom && random() % 30 == 0;
    if (removeNow) {
      fs::remove(journal);
      ++removed;
    }
    const bool unwritable = i >= unwritableFrom && i < unwritableTo;
    const bool killNow =
        !removeNow && !(i >= unwritableFrom && i <= unwritableTo) && random() % 5 < 3;
    if (!killNow) {
      program->send(c.keys);
      ASSERT_TRUE(program->waitFor([&](const VtModel& m) {
        return shows(m, c.after) && showsWarning(m) == unwritable;
      })) << "command "
          << i << "; seed " << seed;
      before = c.after;
      ++i;
      continue;
    }
    // Part or all of the keys, then a short while (the command takes a
    // few milliseconds), then the end.
    const std::size_t part = random() % (c.keys.size() + 1);
    program->send(c.keys.substr(0, part));
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 8000));
    const int how = static_cast<int>(random() % 10);
    if (how == 0) {
      program->signal(SIGTERM);
      ++terms;
    } else if (how == 1) {
      program->hangUp();
      ++hangUps;
    } else {
      program->signal(SIGKILL);
      ++kills;
    }
    program = start(dir.path(), "@" + clock.string());
    const Visible* now = nullptr;
    ASSERT_TRUE(program->waitFor([&](const VtModel& m) {
      now = shows(m, c.after) ? &c.after : shows(m, before) ? &before : nullptr;
      return now != nullptr;
    })) << "after the end in command "
        << i << " the screen is neither before nor after it; seed " << seed << "\n"
        << program->screen.screen.rowText(3);
    if (now == &c.after) {
      before = c.after;
      ++i;
    } else {
      ++redone;  // the command did not get through: the operator does it again
    }
  }
  endTheDay(*program);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  EXPECT_EQ(WorkDirectory::read(dir.path() / "data.txt"), expected) << "seed " << seed;
  EXPECT_FALSE(fs::exists(journal)) << "ESC ended the day";
  std::printf(
      "%zu commands; %d SIGKILL, %d SIGTERM, %d closed terminals; %d commands done again; "
      "journal removed %d times, midnight passed, %zu commands with no journal; %.1f s\n",
      day.size(), kills, terms, hangUps, redone, removed, unwritableTo - unwritableFrom, seconds);
}

// A file system of its own for the test (root only: mount), so it can be
// made read-only and writable again under the running program.
class ScratchMount {
 public:
  explicit ScratchMount(const fs::path& at) : at_(at) {
    fs::create_directories(at_);
    mounted_ =
        std::system(("mount -t tmpfs -o size=1m tmpfs " + at_.string() + " 2>/dev/null").c_str()) ==
        0;
  }
  ~ScratchMount() {
    if (mounted_) std::system(("umount " + at_.string()).c_str());
    fs::remove_all(at_);
  }
  bool mounted() const { return mounted_; }
  bool readOnly(bool on) {
    return std::system(
               ("mount -o remount," + std::string(on ? "ro " : "rw ") + at_.string()).c_str()) == 0;
  }

 private:
  fs::path at_;
  bool mounted_ = false;
};

// Waits for the number F3 gave, and says whether the warning shows with it.
bool issued(PtyProgram& program, const std::string& category, int number, bool warning) {
  program.send("\x1bOR" + category);
  const std::string line = "Tildelt nummer: " + std::to_string(number) + " ";
  return program.waitFor([&](const VtModel& m) {
    return m.screen.rowText(8, 38, 79).rfind(line, 0) == 0 && showsWarning(m) == warning;
  });
}

TEST(JournalFaults, AReadOnlyFileSystemWarnsAndTheJournalIsWholeOnceItIsWritable) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a file system of its own";
  WorkDirectory dir("journal-read-only");
  ScratchMount mount(dir.path() / "desk");
  if (!mount.mounted()) GTEST_SKIP() << "cannot mount tmpfs here";
  ASSERT_TRUE(mount.readOnly(true));
  auto program = start(dir.path() / "desk");
  ASSERT_TRUE(program->waitFor(showsWarning)) << "the warning shows at once";
  EXPECT_TRUE(issued(*program, "v", 1, true));
  EXPECT_TRUE(issued(*program, "b", 1, true));
  ASSERT_TRUE(mount.readOnly(false));
  EXPECT_TRUE(issued(*program, "v", 2, false)) << "mended by the next change";
  const std::string journal = WorkDirectory::read(dir.path() / "desk" / "journal.txt");
  program->signal(SIGKILL);
  program = start(dir.path() / "desk");
  EXPECT_TRUE(program->waitFor([](const VtModel& m) {
    return m.screen.rowText(6, 38, 79).rfind("Genoptaget: 3 ventende, 0 rum optaget", 0) == 0;
  })) << journal;
  EXPECT_TRUE(issued(*program, "b", 2, false));
  program->send("\x1b");
  program->signal(0);
}

TEST(JournalFaults, AJournalThatIsAFolderWarnsUntilItIsGone) {
  WorkDirectory dir("journal-folder");
  fs::create_directory(dir.path() / "journal.txt");
  auto program = start(dir.path());
  ASSERT_TRUE(program->waitFor([](const VtModel& m) {
    return showsWarning(m) && m.screen.rowText(6, 38, 79).rfind("Journal kan ikke laeses", 0) == 0;
  }));
  EXPECT_TRUE(issued(*program, "v", 1, true));
  fs::remove(dir.path() / "journal.txt");
  EXPECT_TRUE(issued(*program, "v", 2, false));
  const Replay replay = replayJournal(WorkDirectory::read(dir.path() / "journal.txt"));
  EXPECT_EQ(replay.damage, Replay::Damage::None);
  EXPECT_EQ(replay.state.series[0], (SeriesState{2, 2}));
  program->send("\x1b");
  program->signal(0);
}

}  // namespace
