// Prints what the report and the expected wait give on simulated days: the
// time to report a year of history (250 days of about 520 patients) and to
// draw it, and how often the expected wait held, for each kind of day:
// the share of patients whose real wait was within 5 minutes of what the
// display said when they got their number. A fixed seed, so the figures
// are the same every run.
// Measured figures, never a pass/fail test.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>

#include "expected_wait.hpp"
#include "chart.hpp"
#include "figures.hpp"
#include "history.hpp"
#include "output.hpp"

namespace fs = std::filesystem;

namespace {

// Patients an hour by the hour of the day: a morning rush, a quiet
// afternoon.
constexpr double kArrivalsPerHour[24] = {0, 0, 0, 0, 0, 0, 0, 60, 95, 85, 75, 65,
                                         55, 50, 40, 25, 0, 0, 0, 0, 0, 0, 0, 0};

struct Outcome {
  int promised = 0, withinFive = 0, patients = 0;
};

// The kinds of day a clinic has: smooth; a burst of 30 at the door when it
// opens; a room closed over lunch; a technician who leaves early.
enum class Kind { Smooth, Burst, Lunch, EarlyLeave };
constexpr const char* kKindNames[] = {"smooth days", "a burst of 30 at opening",
                                      "a room closed over lunch", "a technician leaving early"};

Kind kindOf(int day) {
  const int k = day % 10;
  return k < 6 ? Kind::Smooth : k < 8 ? Kind::Burst : k == 8 ? Kind::Lunch : Kind::EarlyLeave;
}

// One simulated day, written as the desk writes its journal; each patient's
// expected wait (as the display would have shown it, with the usual pace of
// the days before) against the real one.
std::string simulateDay(const CalendarDay& date, Kind kind, const ExpectedWait::Usual& usual,
                        std::mt19937& random, Outcome& outcome) {
  std::string text;
  std::int64_t seq = 1;
  const auto add = [&](int second, const Change& c) {
    text += journalLine(seq++, Moment{date, second}, c);
  };
  add(7 * 3600, Change(ChangeKind::Day));
  // Rooms 1-4 take adults, room 5 children; a patient takes 1.5 minutes
  // and a random while more, 3.5 minutes on average.
  constexpr int kRooms = 5;
  const int category[kRooms] = {1, 1, 1, 1, 2};
  // When each room's technician is away: [from, to) in seconds of the day.
  int awayFrom[kRooms] = {99 * 3600, 99 * 3600, 99 * 3600, 99 * 3600, 99 * 3600};
  int awayTo[kRooms] = {0, 0, 0, 0, 0};
  if (kind == Kind::Lunch) awayFrom[1] = 11 * 3600 + 30 * 60, awayTo[1] = 12 * 3600 + 15 * 60;
  if (kind == Kind::EarlyLeave) awayFrom[2] = 12 * 3600, awayTo[2] = 99 * 3600;
  bool open[kRooms] = {};
  int busyUntil[kRooms] = {};
  const auto openRoom = [&](int r, int t) {
    Change opened(ChangeKind::Opened, r + 1, category[r]);
    opened.time = {t / 3600, t / 60 % 60};
    opened.name = "Tek " + std::to_string(r + 1);
    add(t, opened);
    open[r] = true;
  };
  for (int r = 0; r < kRooms; ++r) openRoom(r, 7 * 3600 + 15 * 60);
  std::deque<std::pair<int, int>> waiting[2];  // number, issued at
  std::vector<int> promisedOf[2];
  int counter[2] = {0, 0};
  ExpectedWait estimate;
  estimate.setUsual(usual);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::exponential_distribution<double> service(1.0 / 120.0);
  const auto roomsOpen = [&](int c) {
    int n = 0;
    for (int r = 0; r < kRooms; ++r) n += open[r] && category[r] == c ? 1 : 0;
    return n;
  };
  const int opening = 7 * 3600 + 30 * 60;
  for (int t = opening; t < 17 * 3600; t += 10) {
    // Technicians leave when their patient is done, and come back.
    for (int r = 0; r < kRooms; ++r) {
      if (open[r] && t >= awayFrom[r] && t < awayTo[r] && busyUntil[r] <= t) {
        Change leaving(ChangeKind::Leaving, r + 1);
        leaving.time = {t / 3600, t / 60 % 60};
        add(t, leaving);
        add(t, Change(ChangeKind::Left, r + 1));
        open[r] = false;
      } else if (!open[r] && t >= awayTo[r]) {
        openRoom(r, t);
      }
    }
    int arrivals = unit(random) < kArrivalsPerHour[t / 3600] / 360.0 ? 1 : 0;  // per 10 s
    if (kind == Kind::Burst && t < opening + 60) arrivals += 5;  // 30 in the first minute
    for (int a = 0; a < arrivals; ++a) {
      const int c = unit(random) < 0.8 ? 0 : 1;
      const auto promise = estimate.minutes(c + 1, static_cast<int>(waiting[c].size()), roomsOpen(c + 1),
                                            momentOf(dateText(date), t));
      Change issued(ChangeKind::Issued, 0, c + 1);
      issued.number = ++counter[c];
      add(t, issued);
      waiting[c].push_back({counter[c], t});
      promisedOf[c].push_back(promise ? *promise : -1);
    }
    for (int r = 0; r < kRooms; ++r) {
      auto& queue = waiting[category[r] - 1];
      if (!open[r] || (t >= awayFrom[r] && t < awayTo[r]) || busyUntil[r] > t || queue.empty()) continue;
      const auto [number, at] = queue.front();
      queue.pop_front();
      Change called(ChangeKind::Called, r + 1, category[r]);
      called.number = number;
      add(t, called);
      estimate.called(r + 1, category[r], momentOf(dateText(date), t), static_cast<int>(queue.size()));
      busyUntil[r] = t + 90 + static_cast<int>(std::min(service(random), 600.0));
      const int promise = promisedOf[category[r] - 1][static_cast<std::size_t>(number - 1)];
      ++outcome.patients;
      if (promise >= 0) {
        ++outcome.promised;
        outcome.withinFive += std::abs((t - at) / 60.0 - promise) <= 5.0 ? 1 : 0;
      }
    }
  }
  add(17 * 3600, Change(ChangeKind::End));
  return text;
}

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int main() {
  const fs::path dir = fs::current_path() / "report-bench";
  fs::remove_all(dir);
  fs::create_directories(dir / kHistoryFolderName);
  std::mt19937 random(20261207);
  Outcome outcomes[4];
  std::size_t bytes = 0;
  std::vector<std::string> before;  // the last days, for the usual pace
  for (int d = 0; d < 250; ++d) {
    // 250 working days from Monday 2026-01-05, five a week.
    const std::string day = dateOfMoment(momentOf("2026-01-05", 0) + (d / 5 * 7 + d % 5) * 86400LL);
    const CalendarDay date{std::stoi(day.substr(0, 4)), std::stoi(day.substr(5, 2)),
                           std::stoi(day.substr(8, 2))};
    const Kind kind = kindOf(d);
    const std::string text = simulateDay(date, kind, ExpectedWait::usualOf(before), random,
                                         outcomes[static_cast<int>(kind)]);
    before.push_back(text);
    if (before.size() > ExpectedWait::kUsualDays) before.erase(before.begin());
    bytes += text.size();
    std::ofstream(dir / kHistoryFolderName / (day + ".txt"), std::ios::binary)
        << text;
  }
  const auto start = std::chrono::steady_clock::now();
  History history;
  std::string error;
  readHistory(dir.string(), history, error);
  const Figures figures = figuresOf(history);
  const std::string text = reportText(figures, history);
  const std::string csv = reportCsv(figures);
  const double took = msSince(start);
  std::printf("The report, in %s\n", dir.c_str());
  std::printf("  a year of history (250 days, %zu patients, %.1f MB): %.0f ms to read and report "
              "it (text and CSV, %zu + %zu bytes)\n",
              history.patients.size(), static_cast<double>(bytes) / 1e6, took, text.size(),
              csv.size());
  const auto drawing = std::chrono::steady_clock::now();
  const std::string svg = reportSvg(figures, history);
  std::printf("  the year as one picture (a summary): %.0f ms, %zu KB of SVG\n", msSince(drawing),
              svg.size() / 1024);
  if (const char* keep = std::getenv("MORVALIS_REPORT_PICTURE")) std::ofstream(keep) << svg;
  std::printf("  the expected wait (the display's and the ticket's) on those days, with the usual pace of "
              "the %zu days before: shown to, and the real wait within 5 minutes of it for,\n",
              ExpectedWait::kUsualDays);
  for (int k = 0; k < 4; ++k) {
    const Outcome& o = outcomes[k];
    std::printf("    %-28s %3.0f %% and %3.0f %% of %d patients\n", kKindNames[k],
                100.0 * o.promised / std::max(o.patients, 1), 100.0 * o.withinFive / std::max(o.promised, 1),
                o.patients);
  }
  fs::remove_all(dir);
}
