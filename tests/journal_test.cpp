// The day's journal with the desk: what a run that ends without ESC leaves
// is taken up by the next one; ESC ends the day; a journal from an earlier
// day or with damage is set aside; a journal that cannot be written never
// stops the desk and is mended as soon as it can be.
#include "journal.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "desk_driver.hpp"
#include "failing_files.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;
constexpr CalendarDate kToday{2026, 12, 7};

class JournalTest : public testing::Test {
 protected:
  WorkDirectory dir{testing::UnitTest::GetInstance()->current_test_info()->name()};

  // One run of the program as its entry makes it: lock, read, take up the
  // day, rewrite the journal, then the keys of `script`.
  struct Run {
    explicit Run(FileSystem& files = FileSystem::real(), CalendarDate day = kToday)
        : journal(files, [day] { return day; }), d(files, &journal) {
      EXPECT_TRUE(journal.takeLock());
      const Journal::Start start = journal.open();
      if (start.resumed) d.desk.resume(start.state);
      d.desk.notices.insert(d.desk.notices.end(), start.notices.begin(), start.notices.end());
      journal.rewrite(d.desk.dayState());
    }
    Journal journal;
    DeskDriver d;
  };

  static std::string journalText() { return WorkDirectory::read(Journal::kFileName); }
  static std::string warning(const DeskDriver& d) { return d.text(23, 2, 79); }
};

TEST_F(JournalTest, ADayEndedWithoutEscIsTakenUpWithItsNumbersAndShifts) {
  {
    Run first;
    first.d.times({at(8, 30)});
    first.d.arrive(3, 'v', "Hans").arrive(4, 'b', "S\xF8ren");
    for (int i = 0; i < 4; ++i) first.d.key(3).press({'v'});
    first.d.key(3).press({'b'});
    first.d.key(4).press({'3'}).key(4).press({'3'});
    first.d.runAndCrash();
  }
  Run second;
  second.d.times({at(10, 15)});
  second.d.key(3).press({'v'});  // the next adult number is 5, not 1
  second.d.key(2).press({'3'});  // Hans leaves with his real start and count
  second.d.runAndCrash();
  EXPECT_EQ(second.d.desk.queues[0]->counter(), 5);
  EXPECT_EQ(WorkDirectory::read("data.txt"), "Hans 8.30 10.15 2 voksne \r\n");
  ASSERT_TRUE(second.d.desk.rooms[3]);
  EXPECT_EQ(second.d.desk.rooms[3]->getName(), "S\xF8ren");
  EXPECT_EQ(second.d.waiting(), "3 - 1  ");
  const Replay replay = replayJournal(journalText());
  EXPECT_EQ(replay.damage, Replay::Damage::None);
  EXPECT_EQ(replay.state, second.d.desk.dayState());
}

TEST_F(JournalTest, TheResumedScreenShowsRoomsCountsAndOneLineSayingSo) {
  {
    Run first;
    first.d.arrive(2, 'v', "A").arrive(5, 'b', "B");
    for (int i = 0; i < 3; ++i) first.d.key(3).press({'v'});
    first.d.runAndCrash();
  }
  Run second;
  second.d.runAndCrash();
  EXPECT_EQ(second.d.color(22, 4), LightRed);
  EXPECT_EQ(second.d.color(58, 4), LightRed);
  EXPECT_EQ(second.d.color(10, 4), LightGreen);
  EXPECT_EQ(second.d.waiting(), "3 - 0  ");
  EXPECT_EQ(second.d.text(7, 39, 79), "Genoptaget: 3 ventende, 2 rum optaget    ");
  EXPECT_EQ(second.d.color(39, 7), Yellow);
}

TEST_F(JournalTest, EscEndsTheDayAndTheNextStartBeginsAtOne) {
  {
    Run first;
    first.d.key(3).press({'v'});
    first.d.arrive(1, 'v', "A");
    first.d.run();
  }
  EXPECT_FALSE(fs::exists(Journal::kFileName));
  Run second;
  second.d.key(3).press({'v'});
  second.d.runAndCrash();
  EXPECT_EQ(second.d.text(9, 55, 56), "1 ");
  EXPECT_FALSE(second.d.desk.rooms[0]);
  EXPECT_TRUE(second.d.panelBlank() || second.d.text(7, 39, 46) == "Patient:");
}

TEST_F(JournalTest, AJournalFromAnEarlierDayIsSetAsideNotResumed) {
  {
    Run yesterday(FileSystem::real(), CalendarDate{2026, 12, 6});
    yesterday.d.arrive(1, 'v', "Nat").key(3).press({'v'});
    yesterday.d.runAndCrash();
  }
  const std::string old = journalText();
  Run today;
  today.d.runAndCrash();
  EXPECT_EQ(WorkDirectory::read("journal-2026-12-06.txt"), old) << "kept, whole";
  EXPECT_FALSE(today.d.desk.rooms[0]);
  EXPECT_EQ(today.d.waiting(), "0 - 0  ");
  EXPECT_EQ(today.d.text(7, 39, 75), "Journal fra 2026-12-06 lagt til side:");
  EXPECT_EQ(today.d.text(9, 39, 79), "gemt som journal-2026-12-06.txt, 1 vagt  ");
}

// Yesterday's journal that cannot be set aside (the folder refuses the
// rename) is neither written over nor removed: the desk warns, and sets it
// aside with the first change after the fault is mended.
TEST_F(JournalTest, AJournalThatCannotBeSetAsideIsNeverWrittenOver) {
  {
    Run yesterday(FileSystem::real(), CalendarDate{2026, 12, 6});
    yesterday.d.key(3).press({'v'});
    yesterday.d.runAndCrash();
  }
  const std::string old = journalText();
  FailingFiles files(FailingFiles::Call::Replace, 0, FailingFiles::kUntilMended);
  Run today(files);
  today.d.key(3).press({'b'});
  today.d.runAndCrash();
  EXPECT_EQ(warning(today.d).substr(8, 21), "Advarsel: journal kan");
  EXPECT_EQ(today.d.text(9, 55, 56), "1 ") << "numbers still come";
  EXPECT_EQ(journalText(), old);

  files.mend();
  today.d.key(3).press({'b'});
  today.d.runAndCrash();
  EXPECT_EQ(WorkDirectory::read("journal-2026-12-06.txt"), old);
  EXPECT_EQ(replayJournal(journalText()).state.series[1].counter, 2);
  EXPECT_EQ(warning(today.d).find("Morvalis"), 22u);
}

TEST_F(JournalTest, EscNeverRemovesAJournalItCouldNotRead) {
  fs::create_directory(Journal::kFileName);
  Run run;
  run.d.key(3).press({'v'});
  run.d.run();
  EXPECT_TRUE(fs::is_directory(Journal::kFileName));
}

TEST_F(JournalTest, DamageInTheMiddleIsSetAsideAndTheGoodLinesResumed) {
  {
    Run first;
    for (int i = 0; i < 4; ++i) first.d.key(3).press({'b'});
    first.d.runAndCrash();
  }
  std::string text = journalText();
  // The third issued number's line gets a wrong byte; two lines follow it.
  const auto third = text.find(" barn 3 ");
  text[third + 1] = 'B';
  WorkDirectory::write(Journal::kFileName, text);
  Run second;
  second.d.runAndCrash();
  EXPECT_EQ(second.d.waiting(), "0 - 2  ");
  EXPECT_EQ(WorkDirectory::read("journal-2026-12-07-skadet.txt"), text);
  EXPECT_EQ(second.d.text(7, 39, 79), "Genoptaget: 2 ventende, 0 rum optaget    ");
  EXPECT_EQ(second.d.text(9, 39, 66), "Journal skadet efter linje 3");
  EXPECT_EQ(replayJournal(journalText()).damage, Replay::Damage::None);
}

// A run killed inside F2 is taken up with the room free when its line
// reached the log, and with the shift open when it did not.
TEST_F(JournalTest, ADepartureCutShortIsDoneOnceAndOnlyOnce) {
  for (const bool lineInLog : {true, false}) {
    WorkDirectory::write("data.txt", "old 1.00 2.00 0 voksne \r\n");
    std::string text = journalLine(1, kToday, Change(ChangeKind::Day));
    Change opened(ChangeKind::Opened, 2, 1);
    opened.time = {8, 30};
    opened.name = "Kim";
    text += journalLine(2, kToday, opened);
    Change leaving(ChangeKind::Leaving, 2);
    leaving.time = {9, 45};
    leaving.logSize = 25;
    text += journalLine(3, kToday, leaving);
    WorkDirectory::write(Journal::kFileName, text);
    if (lineInLog) {
      WorkDirectory::write("data.txt", "Kim 8.30 9.45 0 voksne \r\nold 1.00 2.00 0 voksne \r\n");
    }
    Run again;
    again.d.runAndCrash();
    EXPECT_EQ(again.d.desk.rooms[1] == nullptr, lineInLog);
    EXPECT_EQ(replayJournal(journalText()).state.rooms[1].has_value(), !lineInLog);
  }
}

TEST_F(JournalTest, OneDeskPerFolder) {
  Journal first(FileSystem::real(), [] { return kToday; });
  Journal second(FileSystem::real(), [] { return kToday; });
  EXPECT_TRUE(first.takeLock());
  EXPECT_FALSE(second.takeLock());
}

// Full disk while the desk runs: numbers still come, the warning shows on
// row 23 at once and stays; when the disk has room again, the next change
// writes the journal whole, and the warning goes.
TEST_F(JournalTest, AJournalThatCannotBeWrittenNeverStopsTheDeskAndIsMended) {
  FailingFiles files(FailingFiles::Call::Write, 0, 0);
  Run run(files);
  run.d.key(3).press({'v'});
  run.d.runAndCrash();
  EXPECT_EQ(warning(run.d).find("Morvalis"), 22u) << "the title while all is well";

  files = FailingFiles(FailingFiles::Call::Write, 0, FailingFiles::kUntilMended);
  run.d.key(3).press({'v'}).key(3).press({'b'});
  run.d.runAndCrash();
  EXPECT_EQ(run.d.text(9, 55, 56), "1 ") << "the child still got a number";
  EXPECT_EQ(warning(run.d).substr(8, 61),
            "Advarsel: journal kan ikke skrives - intet gemmes ved nedbrud");
  EXPECT_EQ(run.d.color(10, 23), Yellow);
  EXPECT_NE(replayJournal(journalText()).state, run.d.desk.dayState());

  files.mend();
  run.d.key(3).press({'v'});
  run.d.runAndCrash();
  EXPECT_EQ(warning(run.d).find("Morvalis"), 22u);
  const Replay replay = replayJournal(journalText());
  EXPECT_EQ(replay.damage, Replay::Damage::None);
  EXPECT_EQ(replay.state, run.d.desk.dayState());
  EXPECT_EQ(replay.state.series[0].counter, 3);
}

}  // namespace
