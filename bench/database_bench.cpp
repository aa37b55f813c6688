// Prints how long a change takes from the desk's key to the server's
// commit (p50, p99) beside the physical floor of the same run, one raw
// INSERT and COMMIT of one row on the same server, and how long another
// station takes to hear of a change. Against a PostgreSQL cluster of its
// own (initdb in /tmp, fsync as the server's default); it says so and
// ends when none can start. Measured figures, never a pass/fail test.
// Each round starts on a quiet machine, as a desk's keys come seconds
// apart: back to back, the stations' listeners still at the last change
// share the cores with the next round's statements.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "pg_connection.hpp"
#include "pg_schema.hpp"
#include "pg_store.hpp"
#include "scratch_postgres.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 300;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Prints p50 and p99; with `floor`, each as a multiple of the floor's.
double print(const char* what, std::vector<double> ms, double floor50 = 0, double floor99 = 0) {
  std::sort(ms.begin(), ms.end());
  const double p50 = ms[ms.size() / 2], p99 = ms[ms.size() * 99 / 100];
  std::printf("  %-52s p50 %.2f ms, p99 %.2f ms", what, p50, p99);
  if (floor50 > 0) std::printf("  (%.2fx and %.2fx the floor)", p50 / floor50, p99 / floor99);
  std::printf("\n");
  return p50;
}

}  // namespace

int main() {
  std::printf("database (a change kept in PostgreSQL on 127.0.0.1, %d rounds 2 ms apart):\n", kRounds);
  ScratchPostgres server(std::filesystem::temp_directory_path() /
                         ("morvalis-pg-bench-" + std::to_string(getpid())));
  if (!server.whyNot().empty()) {
    std::printf("  not measured: %s\n", server.whyNot().c_str());
    return 0;
  }
  PgConnection setup(server.uri());
  if (const std::string problem = createOrUpgradeSchema(setup); !problem.empty()) {
    std::printf("  not measured: %s\n", problem.c_str());
    return 0;
  }
  setup.query("CREATE TABLE floor (n integer)", {}, 5000);
  const auto now = [] { return Moment(CalendarDay{2026, 12, 7}, 8 * 3600); };
  PgStore a(server.uri(), "a", now), b(server.uri(), "b", now);
  a.open();
  b.open();
  std::vector<double> floor, kept, heard;
  for (int i = 0; i < kRounds; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    auto start = Clock::now();
    setup.query("INSERT INTO floor VALUES ($1)", {std::to_string(i)}, 5000);
    floor.push_back(msSince(start));
    Change issued(ChangeKind::Issued, 0, 1);
    issued.number = i + 1;
    start = Clock::now();
    a.append(issued, [] { return DayState{}; });
    kept.push_back(msSince(start));
    // Heard once B's day has it: a wake may be left from before (B's
    // start), and one wake is not yet the change.
    for (int waits = 0; waits < 10; ++waits) {
      pollfd p{static_cast<int>(b.wakeHandle()), POLLIN, 0};
      ::poll(&p, 1, 200);
      const auto news = b.hasNews() ? b.news() : std::nullopt;
      if (news && news->state.series[0].counter == issued.number) break;
    }
    heard.push_back(msSince(start));
  }
  std::sort(floor.begin(), floor.end());
  const double floor50 = print("raw INSERT + COMMIT of one row (the floor)", floor);
  print("a change from the key to its commit (F3)", kept, floor50, floor[floor.size() * 99 / 100]);
  print("the change heard by another station", heard);
  return 0;
}
