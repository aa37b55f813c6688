// The report: its figures on a generated week against a computation of the
// test's own, a day across midnight, damage, lines without a time, and
// names that would be formulas in a spreadsheet or markup in the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>

#include "figures.hpp"
#include "history.hpp"
#include "output.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;

// A journal written line by line as the desk writes it.
struct Day {
  explicit Day(CalendarDay d) : date(d) { add(0, Change(ChangeKind::Day)); }
  void add(int second, const Change& c) { text += journalLine(seq++, Moment{date, second}, c); }
  CalendarDay date;
  std::int64_t seq = 1;
  std::string text;
};

Change issued(int category, int number) {
  Change c(ChangeKind::Issued, 0, category);
  c.number = number;
  return c;
}
Change called(int room, int category, int number) {
  Change c(ChangeKind::Called, room, category);
  c.number = number;
  return c;
}
Change opened(int room, int category, HourMinute start, std::string name) {
  Change c(ChangeKind::Opened, room, category);
  c.time = start;
  c.name = std::move(name);
  return c;
}

double nearestRank(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size()))) - 1];
}

TEST(Report, AGeneratedWeekGivesTheFiguresOfItsOwnRecord) {
  WorkDirectory dir("report-week");
  fs::create_directory("historik");
  std::mt19937 random(7);
  std::map<std::pair<std::string, int>, std::vector<double>> waits;  // the test's own record
  std::map<std::pair<std::string, int>, int> arrivals;
  for (int d = 1; d <= 7; ++d) {
    Day day(CalendarDay{2026, 11, d});
    day.add(8 * 3600, opened(1, 1, {8, 0}, "A"));
    day.add(8 * 3600, opened(2, 2, {8, 0}, "B"));
    std::vector<std::pair<int, int>> queue[2];  // number, issued at
    int counter[2] = {0, 0};
    for (int t = 8 * 3600 + 60; t < 15 * 3600; t += 30 + static_cast<int>(random() % 300)) {
      const int c = static_cast<int>(random() % 2);
      if (random() % 3 != 0) {
        day.add(t, issued(c + 1, ++counter[c]));
        queue[c].push_back({counter[c], t});
        ++arrivals[{dateText(day.date), t / 3600}];
      } else if (!queue[c].empty()) {
        day.add(t, called(c + 1, c + 1, queue[c].front().first));
        waits[{dateText(day.date), c + 1}].push_back((t - queue[c].front().second) / 60.0);
        queue[c].erase(queue[c].begin());
      }
    }
    WorkDirectory::write("historik/" + dateText(day.date) + ".txt", day.text);
  }
  History history;
  std::string error;
  ASSERT_TRUE(readHistory(".", history, error)) << error;
  const Figures f = figuresOf(history);
  ASSERT_EQ(f.days.size(), 7u);
  ASSERT_EQ(f.categories.size(), 14u);
  for (const CategoryDay& c : f.categories) {
    const auto& w = waits[{c.day, c.category}];
    EXPECT_EQ(c.called, static_cast<int>(w.size()));
    EXPECT_DOUBLE_EQ(c.waits.median, nearestRank(w, 0.5)) << c.day;
    EXPECT_DOUBLE_EQ(c.waits.p90, nearestRank(w, 0.9)) << c.day;
    EXPECT_DOUBLE_EQ(c.waits.longest, *std::max_element(w.begin(), w.end()));
  }
  for (const HourRow& h : f.hours) EXPECT_EQ(h.arrivals, (arrivals[{h.day, h.hour}])) << h.hour;
  EXPECT_EQ(figuresOf(history, "2026-11-03", "2026-11-04").days,
            (std::vector<std::string>{"2026-11-03", "2026-11-04"}));
}

// Across midnight, through a start of the desk (the state restated), with
// lines from before lines had a time, and with damage at the end.
TEST(Report, MidnightARestartOldLinesAndDamage) {
  Day day(CalendarDay{2026, 12, 7});
  day.add(23 * 3600, opened(3, 1, {23, 0}, "Nat"));
  day.add(23 * 3600 + 50 * 60, issued(1, 1));
  day.add(23 * 3600 + 55 * 60, Change(ChangeKind::Day));  // a start: the state again
  Change series(ChangeKind::Series, 0, 1);
  series.number = 1;
  series.extra = 1;
  day.add(23 * 3600 + 55 * 60, series);
  Change room(ChangeKind::Room, 3, 1);
  room.time = {23, 0};
  room.name = "Nat";
  day.add(23 * 3600 + 55 * 60, room);
  day.date = CalendarDay{2026, 12, 8};
  day.add(10 * 60, called(3, 1, 1));
  Change leaving(ChangeKind::Leaving, 3);
  leaving.time = {0, 30};
  day.add(30 * 60, leaving);
  day.add(30 * 60, Change(ChangeKind::Left, 3));
  History history;
  addJournal(history, "historik/2026-12-07.txt", day.text + "10 2026-12-08 00:31:00 kald\r\n");
  const std::string old = "1 2026-12-07 dag 0 0cbee028\r\n2 2026-12-07 nummer voksen 1 3779bf58\r\n";
  addJournal(history, "historik/2026-12-07-2.txt", old);
  const Figures f = figuresOf(history);
  ASSERT_EQ(f.categories.size(), 1u);
  EXPECT_EQ(f.categories[0].issued, 2);
  EXPECT_EQ(f.categories[0].waits.count, 1) << "the old line's number is not timed";
  EXPECT_DOUBLE_EQ(f.categories[0].waits.longest, 20.0);
  ASSERT_EQ(f.shifts.size(), 1u) << "the restart restated the shift, not a new one";
  EXPECT_EQ(f.shifts[0].minutes, 90);
  EXPECT_DOUBLE_EQ(f.shifts[0].perHour, 60.0 / 90.0);
  ASSERT_EQ(f.hours.size(), 2u);
  EXPECT_EQ(f.hours[1].day, "2026-12-08");
  EXPECT_EQ(f.hours[1].calls, 1);
  EXPECT_EQ(reportText(f, history).substr(0, 37), "historik/2026-12-07.txt, linje 10: sk");
}

TEST(Report, NamesStayTextInTheSpreadsheetAndInThePicture) {
  const struct {
    std::string in, csv, xml;
  } cases[] = {
      {"=SUM(A1)", "'=SUM(A1)", "=SUM(A1)"},
      {"+1", "'+1", "+1"},
      {"-2", "'-2", "-2"},
      {"@x", "'@x", "@x"},
      {"a;b", "\"a;b\"", "a;b"},
      {"say \"hi\"", "\"say \"\"hi\"\"\"", "say &quot;hi&quot;"},
      {"<b>&", "<b>&", "&lt;b&gt;&amp;"},
      {"a\rb", "\"a\rb\"", "a\rb"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(csvField(c.in), c.csv) << c.in;
    EXPECT_EQ(xmlEscaped(c.in), c.xml) << c.in;
  }
  EXPECT_EQ(utf8Of("S\x9Bren \x91"), "S\xC3\xB8ren \xC3\xA6") << "code page 865";

  Day day(CalendarDay{2026, 12, 7});
  day.add(8 * 3600, opened(1, 1, {8, 0}, "=<\x9B>"));
  day.add(9 * 3600, issued(1, 1));
  day.add(9 * 3600 + 90, called(1, 1, 1));
  History history;
  addJournal(history, "journal.txt", day.text);
  const Figures f = figuresOf(history);
  const std::string csv = reportCsv(f);
  EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_NE(csv.find("2026-12-07;voksne;1;1;0;1,5;1,5;1,5\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(";'=<\xC3\xB8>;voksne;08:00;;1;\r\n"), std::string::npos) << csv;
  const std::string svg = reportSvg(f, history);
  EXPECT_NE(svg.find("=&lt;\xC3\xB8&gt;"), std::string::npos);
  EXPECT_EQ(svg.find("=<"), std::string::npos);
}

}  // namespace
