// The report: its figures on a generated week against a computation of the
// test's own, a day across midnight, damage, lines without a time, and
// names that would be formulas in a spreadsheet or markup in the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "chart.hpp"
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

// As a spreadsheet's MEDIAN.
double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
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
    EXPECT_DOUBLE_EQ(c.waits.median, median(w)) << c.day;
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
  EXPECT_DOUBLE_EQ(waitsOf({12.0, 20.0}).median, 16.0) << "as a spreadsheet's MEDIAN";
  EXPECT_DOUBLE_EQ(waitsOf({12.0, 20.0, 50.0}).median, 20.0);
}

// A clock set back an hour in the middle of a day: no negative wait and no
// shift of 1,400 minutes; the case is named. A negative number stays a
// number in the CSV. An open shift is "åben" in text, CSV and picture, and
// the report's own words are Danish.
TEST(Report, AClockSetBackAnOpenShiftAndTheWords) {
  Day day(CalendarDay{2026, 12, 7});
  day.add(9 * 3600 + 20 * 60, opened(1, 1, {9, 20}, "Anne"));
  day.add(9 * 3600 + 20 * 60, opened(2, 2, {9, 20}, "Bo"));
  day.add(9 * 3600 + 30 * 60, issued(1, 1));
  day.add(8 * 3600 + 39 * 60, called(1, 1, 1));  // the clock went back an hour
  day.add(8 * 3600 + 40 * 60, issued(1, 2));
  day.add(8 * 3600 + 52 * 60, called(1, 1, 2));
  Change leaving(ChangeKind::Leaving, 1);
  leaving.time = {9, 0};
  day.add(9 * 3600, leaving);
  day.add(9 * 3600, Change(ChangeKind::Left, 1));
  History history;
  addJournal(history, "journal.txt", day.text);
  const Figures f = figuresOf(history);
  ASSERT_EQ(f.categories.size(), 1u);
  EXPECT_EQ(f.categories[0].called, 2);
  EXPECT_EQ(f.categories[0].waits.count, 1);
  EXPECT_DOUBLE_EQ(f.categories[0].waits.longest, 12.0);
  ASSERT_EQ(f.shifts.size(), 2u);
  EXPECT_EQ(f.shifts[0].minutes, -1) << "ended before it began";
  const std::string text = reportText(f, history);
  EXPECT_NE(text.find("journal.txt: uret blev stillet tilbage; 1 ventetid er udeladt"), std::string::npos) << text;
  EXPECT_NE(text.find("L\xC3\xA6ngst"), std::string::npos);
  EXPECT_NE(text.find("2026-12-07  2    Bo               b\xC3\xB8rn      9.20   \xC3\xA5" "ben"), std::string::npos) << text;
  const std::string csv = reportCsv(f);
  EXPECT_NE(csv.find(";Bo;b\xC3\xB8rn;09:20;\xC3\xA5" "ben;0;\r\n"), std::string::npos) << csv;
  EXPECT_NE(reportSvg(f, history).find("9.20, \xC3\xA5" "ben"), std::string::npos);
}

// A booth's calls again and numbers not met, per day and room; the wait
// is to the first call. A day without them has no such section.
TEST(Report, CallsAgainAndNumbersNotMetPerRoom) {
  Day day(CalendarDay{2026, 12, 7});
  day.add(8 * 3600, opened(3, 1, {8, 0}, "Anne"));
  for (int n = 1; n <= 3; ++n) day.add(8 * 3600, issued(1, n));
  day.add(8 * 3600 + 600, called(3, 1, 1));
  Change again(ChangeKind::Recalled, 3, 1);
  again.number = 1;
  day.add(8 * 3600 + 700, again);
  day.add(8 * 3600 + 800, again);
  Change notMet(ChangeKind::NotMet, 3, 1);
  notMet.number = 1;
  day.add(8 * 3600 + 900, notMet);
  day.add(8 * 3600 + 960, called(3, 1, 2));
  History history;
  addJournal(history, "journal.txt", day.text);
  const Figures f = figuresOf(history);
  ASSERT_EQ(f.rooms.size(), 1u);
  EXPECT_EQ(f.rooms[0].called, 2);
  EXPECT_EQ(f.rooms[0].recalls, 2);
  EXPECT_EQ(f.rooms[0].notMet, 1);
  EXPECT_DOUBLE_EQ(f.categories[0].waits.longest, 16.0) << "to the first call";
  EXPECT_NE(reportText(f, history).find("Pr. rum\nDato        Rum  Kaldt  Kaldt igen  Ikke m\xC3\xB8" "dt\n"
                                        "2026-12-07  3    2      2           1\n"),
            std::string::npos)
      << reportText(f, history);
  Day plain(CalendarDay{2026, 12, 8});
  plain.add(8 * 3600, opened(1, 1, {8, 0}, "Bo"));
  plain.add(8 * 3600, issued(1, 1));
  plain.add(8 * 3600, called(1, 1, 1));
  History without;
  addJournal(without, "journal.txt", plain.text);
  EXPECT_TRUE(figuresOf(without).rooms.empty());
}

// The days of one date in the order the desk named them, the days waiting
// beside the journal too; a history file that cannot be read is an error
// that names it, never a report without it.
TEST(Report, TheFilesOfADayInTheirOrderAndOneThatCannotBeRead) {
  WorkDirectory dir("report-files");
  fs::create_directory("historik");
  for (const int n : {1, 2, 10, 3}) {
    Day day(CalendarDay{2026, 12, 1});
    day.add(8 * 3600, issued(1, 1));
    WorkDirectory::write("historik/2026-12-01" + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".txt",
                         day.text);
  }
  Day waiting(CalendarDay{2026, 12, 2});
  WorkDirectory::write("historik-2026-12-02.txt", waiting.text);
  History history;
  std::string error;
  ASSERT_TRUE(readHistory(".", history, error)) << error;
  EXPECT_EQ(history.files, (std::vector<std::string>{"historik/2026-12-01.txt", "historik/2026-12-01-2.txt",
                                                     "historik/2026-12-01-3.txt", "historik/2026-12-01-10.txt",
                                                     "historik-2026-12-02.txt"}));
#ifndef _WIN32
  ASSERT_EQ(::mkfifo("historik/2026-12-03.txt", 0600), 0);
  History broken;
  EXPECT_FALSE(readHistory(".", broken, error));
  EXPECT_NE(error.find("historik/2026-12-03.txt"), std::string::npos) << error;
#endif
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
  EXPECT_NE(csv.find(";'=<\xC3\xB8>;voksne;08:00;\xC3\xA5" "ben;1;\r\n"), std::string::npos) << csv;
  const std::string svg = reportSvg(f, history);
  EXPECT_NE(svg.find("=&lt;\xC3\xB8&gt;"), std::string::npos);
  EXPECT_EQ(svg.find("=<"), std::string::npos);
}

// The pictures as a manager sees them, kept in tests/pictures
// (MORVALIS_UPDATE_PICTURES=1 writes them anew, to be looked at with a
// browser or rsvg-convert before they are committed): a day of its own,
// and the summary that more than a week becomes. A year's summary is one
// picture of a size rsvg-convert draws.
History simulatedDays(int days, int patients) {
  History history;
  std::mt19937 random(28);
  for (int d = 0; d < days; ++d) {
    const std::string date = dateOfMoment(momentOf("2026-01-05", 0) + (d / 5 * 7 + d % 5) * 86400LL);
    Day day(CalendarDay{std::stoi(date.substr(0, 4)), std::stoi(date.substr(5, 2)), std::stoi(date.substr(8, 2))});
    day.add(7 * 3600, opened(1, 1, {7, 0}, "Anne"));
    day.add(7 * 3600, opened(2, 2, {7, 0}, "B\x9Brge"));
    int t = 7 * 3600 + 600;
    for (int n = 1; n <= patients; ++n) {
      const int category = 1 + static_cast<int>(random() % 4 == 0);
      day.add(t, issued(category, n));
      day.add(t + 60 * static_cast<int>(random() % (5 + n % 40)), called(category, category, n));
      t += 60 + static_cast<int>(random() % 600);
      if (category == 2) day.add(t, issued(1, ++n));
    }
    addJournal(history, "historik/" + date + ".txt", day.text);
  }
  return history;
}

TEST(Report, PicturesAsAManagerSeesThem) {
  for (const auto& [name, days] : {std::pair{"report-day.svg", 1}, {"report-summary.svg", 20}}) {
    const History history = simulatedDays(days, 40);
    const std::string svg = reportSvg(figuresOf(history), history);
#ifdef MORVALIS_TEST_PICTURES
    const fs::path file = fs::path(MORVALIS_TEST_PICTURES) / name;
    if (std::getenv("MORVALIS_UPDATE_PICTURES")) WorkDirectory::write(file, svg);
    EXPECT_EQ(svg, WorkDirectory::read(file)) << name;
#endif
    EXPECT_NE(svg.find(days == 1 ? "ankomne pr. time" : "efter ugedag og time"), std::string::npos);
  }
#ifndef _WIN32
  if (std::system("rsvg-convert --version >/dev/null 2>&1") != 0) {
    std::printf("Skipped in part: rsvg-convert is not installed (Debian's librsvg2-bin)\n");
    return;
  }
  WorkDirectory dir("report-year");
  const History year = simulatedDays(250, 8);
  WorkDirectory::write("year.svg", reportSvg(figuresOf(year), year));
  EXPECT_LT(fs::file_size("year.svg"), 200'000u);
  ASSERT_EQ(std::system("rsvg-convert year.svg -o year.png 2>rsvg.txt"), 0) << WorkDirectory::read("rsvg.txt");
  EXPECT_GT(fs::file_size("year.png"), 10'000u);
#endif
}

}  // namespace
