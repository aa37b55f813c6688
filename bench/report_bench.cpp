// Prints what the report and the expected wait give on simulated days: the
// time to report a year of history (250 days of 600 patients), and how
// often the display's expected wait held: the share of patients whose
// real wait was within 5 minutes of what the display said when they got
// their number. A fixed seed, so the figures are the same every run.
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

// One simulated day, written as the desk writes its journal; each patient's
// expected wait (as the display would have shown it) against the real one.
std::string simulateDay(const CalendarDay& date, std::mt19937& random, Outcome& outcome) {
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
  int busyUntil[kRooms] = {};
  for (int r = 0; r < kRooms; ++r) {
    Change opened(ChangeKind::Opened, r + 1, category[r]);
    opened.time = {7, 15};
    opened.name = "Tek " + std::to_string(r + 1);
    add(7 * 3600 + 15 * 60, opened);
  }
  std::deque<std::pair<int, int>> waiting[2];  // number, issued at
  std::vector<int> promisedOf[2];
  std::vector<int> issuedAt[2];
  int counter[2] = {0, 0};
  ExpectedWait estimate;
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::exponential_distribution<double> service(1.0 / 120.0);
  for (int t = 7 * 3600 + 30 * 60; t < 17 * 3600; t += 10) {
    const double rate = kArrivalsPerHour[t / 3600] / 360.0;  // per 10 s
    if (unit(random) < rate) {
      const int c = unit(random) < 0.8 ? 0 : 1;
      const auto promise = estimate.minutes(c + 1, static_cast<int>(waiting[c].size()),
                                            momentOf(dateText(date), t));
      Change issued(ChangeKind::Issued, 0, c + 1);
      issued.number = ++counter[c];
      add(t, issued);
      waiting[c].push_back({counter[c], t});
      promisedOf[c].push_back(promise ? *promise : -1);
      issuedAt[c].push_back(t);
    }
    for (int r = 0; r < kRooms; ++r) {
      auto& queue = waiting[category[r] - 1];
      if (busyUntil[r] > t || queue.empty()) continue;
      const auto [number, at] = queue.front();
      queue.pop_front();
      Change called(ChangeKind::Called, r + 1, category[r]);
      called.number = number;
      add(t, called);
      estimate.called(category[r], momentOf(dateText(date), t), static_cast<int>(queue.size()));
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
  Outcome outcome;
  std::size_t bytes = 0;
  for (int d = 0; d < 250; ++d) {
    // 250 working days from Monday 2026-01-05, five a week.
    const std::string day = dateOfMoment(momentOf("2026-01-05", 0) + (d / 5 * 7 + d % 5) * 86400LL);
    const CalendarDay date{std::stoi(day.substr(0, 4)), std::stoi(day.substr(5, 2)),
                           std::stoi(day.substr(8, 2))};
    const std::string text = simulateDay(date, random, outcome);
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
  std::printf("  the display's expected wait on those days: shown to %.0f %% of patients; the real "
              "wait within 5 minutes of it for %.0f %% of them\n",
              100.0 * outcome.promised / std::max(outcome.patients, 1),
              100.0 * outcome.withinFive / std::max(outcome.promised, 1));
  fs::remove_all(dir);
}
