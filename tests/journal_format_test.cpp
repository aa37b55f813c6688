// The journal's lines: every kind round-trips, names keep every byte, and
// a torn or damaged line is never taken for a change.
#include "journal_format.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

constexpr CalendarDay kDay{2026, 12, 7};

Change make(ChangeKind kind, int room, int category, std::int32_t number = 0, HourMinute time = {},
            std::string name = "") {
  Change c(kind, room, category);
  c.number = number;
  c.time = time;
  c.name = std::move(name);
  return c;
}

// One day at a desk, in the order the commands came.
std::vector<Change> aDay() {
  Change leaving(ChangeKind::Leaving, 2);
  leaving.time = {10, 15};
  leaving.logSize = 27;
  return {make(ChangeKind::Day, 0, 0),
          make(ChangeKind::Opened, 2, 1, 0, {8, 30}, "Hans"),
          make(ChangeKind::Issued, 0, 1, 1),
          make(ChangeKind::Issued, 0, 2, 1),
          make(ChangeKind::Issued, 0, 1, 2),
          make(ChangeKind::Called, 2, 1, 1),
          make(ChangeKind::Opened, 5, 2, 0, {9, 5}, "S\xF8ren\r\n\xFF%"),
          leaving,
          Change(ChangeKind::Left, 2),
          make(ChangeKind::Called, 5, 2, 1)};
}

std::string journalOf(const std::vector<Change>& changes) {
  std::string text;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    text += journalLine(static_cast<std::int64_t>(i + 1), kDay, changes[i]);
  }
  return text;
}

// Lines as the display, the report and a person read them; a journal from
// before lines had a time is read on, its changes with no time.
TEST(JournalFormat, LinesAsTheyAreReadAndLinesWithoutATime) {
  const std::string opened = journalLine(3, Moment{kDay, 8 * 3600 + 31 * 60 + 7},
                                         make(ChangeKind::Opened, 2, 1, 0, {8, 30}, "Anne Marie"));
  EXPECT_EQ(opened.substr(0, opened.size() - 11),
            "3 2026-12-07 08:31:07 ankommer 2 voksen 8.30 Anne%20Marie");
  const std::string old =
      "1 2026-12-07 dag 0 0cbee028\r\n2 2026-12-07 nummer voksen 1 3779bf58\r\n";
  std::vector<TimedChange> changes;
  const Replay replay = replayJournal(
      old + journalLine(3, Moment{kDay, 600}, make(ChangeKind::Issued, 0, 1, 2)), &changes);
  EXPECT_EQ(replay.damage, Replay::Damage::None);
  EXPECT_EQ(replay.state.series[0], (SeriesState{2, 2}));
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[1].second, kUnknownSecond);
  EXPECT_EQ(changes[2].second, 600);
  EXPECT_EQ(changes[2].change.number, 2);
}

TEST(JournalFormat, EveryKindAndEveryNameByteRoundTrips) {
  std::mt19937 random(7);
  auto changes = aDay();
  changes.push_back(make(ChangeKind::Recalled, 3, 2, 7));
  changes.push_back(make(ChangeKind::NotMet, 0, 1, 12));
  for (int i = 0; i < 200; ++i) {
    std::string name(random() % 16, '\0');
    for (char& c : name) c = static_cast<char>(random());
    changes.push_back(make(ChangeKind::Opened, 1 + static_cast<int>(random() % 5), 2, 0,
                           {static_cast<int>(random() % 24), static_cast<int>(random() % 60)},
                           name));
  }
  for (const Change& change : changes) {
    const int at = static_cast<int>(random() % 86400);
    const std::string line = journalLine(99, Moment{kDay, at}, change);
    ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
    std::int64_t seq = 0;
    std::string date;
    int second = 0;
    Change back;
    ASSERT_TRUE(parseJournalLine(line.substr(0, line.size() - 2), seq, date, second, back)) << line;
    EXPECT_EQ(back, change) << line;
    EXPECT_EQ(seq, 99);
    EXPECT_EQ(date, "2026-12-07");
    EXPECT_EQ(second, at);
  }
}

TEST(JournalFormat, ADayReplaysToItsState) {
  const Replay replay = replayJournal(journalOf(aDay()));
  EXPECT_EQ(replay.damage, Replay::Damage::None);
  EXPECT_EQ(replay.goodLines, aDay().size());
  EXPECT_EQ(replay.day, "2026-12-07");
  EXPECT_EQ(replay.state.series[0], (SeriesState{2, 1}));
  EXPECT_EQ(replay.state.series[1], (SeriesState{1, 0}));
  EXPECT_FALSE(replay.state.rooms[1]);
  ASSERT_TRUE(replay.state.rooms[4]);
  EXPECT_EQ(replay.state.rooms[4]->name, "S\xF8ren\r\n\xFF%");
  EXPECT_EQ(replay.state.rooms[4]->samples, 1);
  EXPECT_EQ(replay.state.rooms[4]->lastCalled, 1);
  EXPECT_EQ(replay.state.newestCallRoom, 5);
  // The snapshot of that state replays to the same state, going on counting.
  const Replay again = replayJournal(snapshotLines(11, kDay, replay.state));
  EXPECT_EQ(again.state, replay.state);
  EXPECT_EQ(again.lastSeq, 11 + static_cast<std::int64_t>(again.goodLines) - 1);
}

// A booth calls a number again (three calls at most) and marks one that
// did not come: the room is free for the next, the number is kept for the
// day, and a state from scratch says both.
TEST(JournalFormat, CallsAgainAndNumbersNotMet) {
  const std::vector<Change> day = {
      make(ChangeKind::Day, 0, 0),          make(ChangeKind::Opened, 3, 2, 0, {8, 0}, "Bo"),
      make(ChangeKind::Issued, 0, 2, 1),    make(ChangeKind::Issued, 0, 2, 2),
      make(ChangeKind::Called, 3, 2, 1),    make(ChangeKind::Recalled, 3, 2, 1),
      make(ChangeKind::Recalled, 3, 2, 1),  make(ChangeKind::NotMet, 3, 2, 1),
      make(ChangeKind::Called, 3, 2, 2),    make(ChangeKind::Recalled, 3, 2, 2)};
  const Replay replay = replayJournal(journalOf(day));
  EXPECT_EQ(replay.damage, Replay::Damage::None);
  ASSERT_TRUE(replay.state.rooms[2]);
  EXPECT_EQ(replay.state.rooms[2]->lastCalled, 2);
  EXPECT_EQ(replay.state.rooms[2]->calls, 2);
  EXPECT_EQ(replay.state.rooms[2]->samples, 2);
  EXPECT_EQ(replay.state.notMet[1], (std::vector<std::int32_t>{1}));
  EXPECT_EQ(replay.state.newestCallRoom, 3);
  const Replay again = replayJournal(snapshotLines(1, kDay, replay.state));
  EXPECT_EQ(again.state, replay.state);
  // Called back into the room (the desk's F4, when the clinic chose so).
  std::vector<Change> later = day;
  later.push_back(make(ChangeKind::NotMet, 3, 2, 2));
  later.push_back(make(ChangeKind::Recalled, 3, 2, 1));
  const Replay calledBack = replayJournal(journalOf(later));
  EXPECT_EQ(calledBack.damage, Replay::Damage::None);
  EXPECT_EQ(calledBack.state.rooms[2]->lastCalled, 1);
  EXPECT_EQ(calledBack.state.notMet[1], (std::vector<std::int32_t>{2}));
}

TEST(JournalFormat, ChangesThatDoNotFitTheStateAreBad) {
  const std::vector<std::vector<Change>> bad = {
      {make(ChangeKind::Issued, 0, 1, 1)},                               // no dag first
      {make(ChangeKind::Day, 0, 0), make(ChangeKind::Issued, 0, 1, 2)},  // not the next number
      {make(ChangeKind::Day, 0, 0), make(ChangeKind::Called, 1, 1, 1)},  // a free room
      {make(ChangeKind::Day, 0, 0), make(ChangeKind::Opened, 1, 1), make(ChangeKind::Opened, 1, 2)},
      {make(ChangeKind::Day, 0, 0), make(ChangeKind::Opened, 1, 1),
       make(ChangeKind::Issued, 0, 2, 1),
       make(ChangeKind::Called, 1, 1, 1)},  // the room serves adults; a child waits
      {make(ChangeKind::Day, 0, 0), make(ChangeKind::Series, 0, 1, 2'000'000'000)},
      // A booth's calls again and numbers not met: only of the number in
      // the room, three calls at most, only numbers that were issued.
      {make(ChangeKind::Day, 0, 0), make(ChangeKind::Opened, 1, 1), make(ChangeKind::Issued, 0, 1, 1),
       make(ChangeKind::Called, 1, 1, 1), make(ChangeKind::Recalled, 1, 1, 1), make(ChangeKind::Recalled, 1, 1, 1),
       make(ChangeKind::Recalled, 1, 1, 1)},
      {make(ChangeKind::Day, 0, 0), make(ChangeKind::Opened, 1, 1), make(ChangeKind::Issued, 0, 1, 1),
       make(ChangeKind::Issued, 0, 1, 2), make(ChangeKind::Called, 1, 1, 1), make(ChangeKind::Recalled, 1, 1, 2)},
      {make(ChangeKind::Day, 0, 0), make(ChangeKind::Opened, 1, 1), make(ChangeKind::Issued, 0, 1, 1),
       make(ChangeKind::Issued, 0, 1, 2), make(ChangeKind::Called, 1, 1, 1), make(ChangeKind::NotMet, 1, 1, 2)},
      {make(ChangeKind::Day, 0, 0), make(ChangeKind::Issued, 0, 1, 1), make(ChangeKind::NotMet, 0, 1, 2)},
  };
  for (std::size_t i = 0; i < bad.size(); ++i) {
    auto changes = bad[i];
    if (changes.back().kind == ChangeKind::Series) changes.back().extra = 2'000'000'000;
    const Replay replay = replayJournal(journalOf(changes));
    EXPECT_EQ(replay.goodLines, changes.size() - 1) << "case " << i;
    EXPECT_EQ(replay.damage, Replay::Damage::Damaged) << "case " << i << ": a whole line";
  }
}

// Whatever happens to one line, replay gives the state before that line or
// (when the line is whole) after it, and nothing else.
TEST(JournalFormat, ATornOrDamagedLineGivesTheStateBeforeOrAfterIt) {
  const auto changes = aDay();
  const std::string text = journalOf(changes);
  const std::size_t lastStart = text.rfind("\r\n", text.size() - 3) + 2;
  const Replay before = replayJournal(text.substr(0, lastStart));
  const Replay after = replayJournal(text);
  for (std::size_t cut = lastStart; cut <= text.size(); ++cut) {
    const Replay r = replayJournal(text.substr(0, cut));
    const bool whole = cut == text.size();
    EXPECT_EQ(r.state, whole ? after.state : before.state) << "cut at " << cut;
    EXPECT_EQ(r.damage, whole || cut == lastStart ? Replay::Damage::None : Replay::Damage::TornEnd);
  }
  // One changed byte in a middle line (child 1 issued): damage after the
  // lines before it; the lines after it are taken up too, and the call of
  // child 1 among them says what the lost line did. A changed LF takes the
  // next line with it: then no series is below what the good lines record.
  const std::size_t fourth = 3;
  std::size_t start = 0;
  for (std::size_t i = 0; i < fourth; ++i) start = text.find("\r\n", start) + 2;
  const std::size_t end = text.find("\r\n", start) + 2;
  for (std::size_t at = start; at < end; ++at) {
    for (const int flip : {0x01, 0x20, 0x80}) {
      std::string damaged = text;
      damaged[at] = static_cast<char>(damaged[at] ^ flip);
      const Replay r = replayJournal(damaged);
      if (at + 1 != end) {
        EXPECT_EQ(r.state, after.state) << "byte " << at;
      }
      EXPECT_GE(r.state.series[0].counter, 1) << "byte " << at;
      EXPECT_EQ(r.state.series[1], (SeriesState{1, 0})) << "byte " << at;
      EXPECT_EQ(r.goodLines, fourth) << "byte " << at;
      EXPECT_EQ(r.damage, Replay::Damage::Damaged) << "byte " << at;
    }
  }
}

// Damage in the middle of a day of numbers: whatever the good lines after
// it record, no number at or below the highest is issued again, and a
// number they record called is not waiting.
TEST(JournalFormat, NoNumberIsIssuedTwiceWhateverIsLost) {
  std::vector<Change> day = {make(ChangeKind::Day, 0, 0), make(ChangeKind::Opened, 1, 1, 0, {8, 0}, "A")};
  for (int n = 1; n <= 12; ++n) {
    day.push_back(make(ChangeKind::Issued, 0, 1, n));
    if (n % 3 == 0) day.push_back(make(ChangeKind::Called, 1, 1, n / 3));
  }
  const std::string text = journalOf(day);
  std::vector<std::size_t> starts{0};
  while (starts.back() < text.size()) starts.push_back(text.find("\r\n", starts.back()) + 2);
  std::mt19937 random(28);
  for (int round = 0; round < 300; ++round) {
    // Lose one to three whole lines, anywhere after the first.
    std::string damaged = text;
    std::vector<bool> lost(day.size(), false);
    for (int k = 1 + static_cast<int>(random() % 3); k > 0; --k) lost[1 + random() % (day.size() - 1)] = true;
    std::int32_t highestIssued = 0, highestCalled = 0;
    for (std::size_t i = day.size(); i-- > 0;) {
      if (lost[i]) {
        for (std::size_t b = starts[i]; b + 2 < starts[i + 1]; ++b) damaged[b] = 'x';
      } else if (day[i].kind == ChangeKind::Issued) {
        highestIssued = std::max(highestIssued, day[i].number);
      } else if (day[i].kind == ChangeKind::Called) {
        highestCalled = std::max(highestCalled, day[i].number);
      }
    }
    const SeriesState s = replayJournal(damaged).state.series[0];
    EXPECT_GE(s.counter, std::max(highestIssued, highestCalled)) << "round " << round;
    EXPECT_LE(s.counter - s.waiting, s.counter);
    EXPECT_GE(s.counter - s.waiting, highestCalled) << "round " << round;
  }
}

// Only an append cut short may be dropped without a word; whatever else
// is wrong at the end is damage, to be kept and said.
TEST(JournalFormat, OnlyAnUnfinishedLastLineIsATornEnd) {
  const std::string text = journalOf(aDay());
  const std::string next = journalLine(11, kDay, make(ChangeKind::Issued, 0, 1, 3));
  std::string failing = next;
  failing[2] = '9';
  std::string lfEnds = text;
  for (std::size_t at; (at = lfEnds.find("\r\n")) != std::string::npos;) lfEnds.erase(at, 1);
  const Change end(ChangeKind::End);
  const struct {
    std::string text;
    std::size_t goodLines;
    Replay::Damage damage;
  } cases[] = {
      {text + next.substr(0, 30), 10, Replay::Damage::TornEnd},
      {text + next.substr(0, next.size() - 1), 10, Replay::Damage::TornEnd},  // CR, no LF
      {text + failing, 10, Replay::Damage::Damaged},                       // whole, fails its check
      {text + std::string(4096, '\0'), 10, Replay::Damage::Damaged},       // a disk that lost data
      {text + std::string(10'000'000, '7'), 10, Replay::Damage::Damaged},  // longer than a line
      {lfEnds, 10, Replay::Damage::None},                                  // through an editor
      {next.substr(0, 20), 0, Replay::Damage::Damaged},                    // no whole line first
      {text + journalLine(11, kDay, end) + next, 11, Replay::Damage::Damaged},  // after the end
      {text + journalLine(11, kDay, end), 11, Replay::Damage::None},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Replay r = replayJournal(cases[i].text);
    EXPECT_EQ(r.goodLines, cases[i].goodLines) << "case " << i;
    EXPECT_EQ(r.damage, cases[i].damage) << "case " << i;
  }
  EXPECT_TRUE(replayJournal(text + journalLine(11, kDay, end)).ended);
  EXPECT_EQ(replayJournal(lfEnds).state, replayJournal(text).state);
  EXPECT_TRUE(replayJournal(lfEnds).bareLineEnds);

  // The longest line the desk can write is no longer than a torn end may be.
  Change longest = make(ChangeKind::Room, 5, 1, 2147483647, {23, 59}, std::string(15, '\xFF'));
  longest.extra = 2147483647;
  EXPECT_EQ(journalLine(999'999'999'999'999'999, kDay, longest).size(), kLongestJournalLine);
}

}  // namespace
