// Prints what the day's journal costs: the time to record one change (on
// disk before it returns), and the time to start on a journal of 100,000
// changes (read, replay, take up, append the state), beside the disk's own
// floor (one raw write and fdatasync of a line). Measured figures, never a
// pass/fail test.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "front_desk.hpp"
#include "journal.hpp"

namespace fs = std::filesystem;

namespace {

constexpr CalendarDay kDay{2026, 12, 7};

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// A long day: five shifts, and numbers issued and called in turn.
void writeLongDay(long changes) {
  std::ofstream out(Journal::kFileName, std::ios::binary);
  std::int64_t seq = 1;
  out << journalLine(seq++, kDay, Change(ChangeKind::Day));
  for (int room = 1; room <= 5; ++room) {
    Change opened(ChangeKind::Opened, room, room <= 3 ? 1 : 2);
    opened.time = {7, 30};
    opened.name = "Tekniker " + std::to_string(room);
    out << journalLine(seq++, kDay, opened);
  }
  std::int32_t issued[2] = {0, 0}, called[2] = {0, 0};
  while (seq <= changes) {
    const int category = 1 + static_cast<int>(seq % 2);
    auto& i = issued[category - 1];
    auto& c = called[category - 1];
    if (i - c < 20 || seq % 3 == 0) {
      Change change(ChangeKind::Issued, 0, category);
      change.number = ++i;
      out << journalLine(seq++, kDay, change);
    } else {
      Change change(ChangeKind::Called, category == 1 ? 1 : 4, category);
      change.number = ++c;
      out << journalLine(seq++, kDay, change);
    }
  }
}

}  // namespace

int main(int, char** argv) {
  // Beside the binary, so the figures are for a real disk rather than /tmp.
  const fs::path dir = fs::absolute(fs::path(argv[0])).parent_path() / "journal-bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::current_path(dir);
  std::printf("The day's journal, in %s\n", dir.string().c_str());
  {
    Journal journal(FileSystem::real(), [] { return kDay; });
    journal.takeLock();
    journal.open();
    DayState state;
    journal.rewrite(state);
    std::vector<double> ms;
    for (int i = 1; i <= 2000; ++i) {
      Change issued(ChangeKind::Issued, 0, 1);
      issued.number = i;
      applyChange(state, issued);
      const auto start = std::chrono::steady_clock::now();
      journal.record(issued, [&state] { return state; });
      ms.push_back(msSince(start));
      if (!journal.writable()) {
        std::printf("  failed: %s\n", journal.error().c_str());
        return 1;
      }
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
        "  one change recorded (written and fdatasync'd), 2,000 of them: median %.3f ms, "
        "99th percentile %.3f ms\n",
        ms[ms.size() / 2], ms[ms.size() * 99 / 100]);
    // The floor on this disk in the same run: one line's write and
    // fdatasync on a file of our own, nothing else.
    const std::string line = journalLine(1, kDay, Change(ChangeKind::Issued, 0, 1));
    const int raw = ::open("raw.txt", O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    std::vector<double> floor;
    for (int i = 0; i < 2000 && raw >= 0; ++i) {
      const auto start = std::chrono::steady_clock::now();
      if (::write(raw, line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
          ::fdatasync(raw) != 0) {
        break;
      }
      floor.push_back(msSince(start));
    }
    if (raw >= 0) ::close(raw);
    std::sort(floor.begin(), floor.end());
    if (!floor.empty()) {
      std::printf("  the disk's floor, one raw write+fdatasync of a line: median %.3f ms, 99th "
                  "percentile %.3f ms\n",
                  floor[floor.size() / 2], floor[floor.size() * 99 / 100]);
    }
    journal.closeDay(state);
  }
  {
    constexpr long kChanges = 100'000;
    writeLongDay(kChanges);
    // On disk, as a journal a run before left is: the start's own
    // fdatasync then writes only what the start adds.
    const int written = ::open(Journal::kFileName, O_RDONLY | O_CLOEXEC);
    if (written >= 0) {
      ::fsync(written);
      ::close(written);
    }
    const double megabytes = static_cast<double>(fs::file_size(Journal::kFileName)) / 1e6;
    const auto start = std::chrono::steady_clock::now();
    Journal journal(FileSystem::real(), [] { return kDay; });
    journal.takeLock();
    const Journal::Start day = journal.open();
    FrontDesk desk(Clock::now, FileSystem::real(), DeskParts{&journal, nullptr, {}, {}});
    desk.resume(day.state);
    const bool rewritten = journal.rewrite(desk.dayState());
    const double took = msSince(start);
    std::printf(
        "  start on a journal of %ld changes (%.1f MB): %.1f ms to read, take up and "
        "append its state (%s, %zu bytes after)\n",
        kChanges, megabytes, took, rewritten ? "written" : "NOT written",
        static_cast<std::size_t>(fs::file_size(Journal::kFileName)));
  }
  fs::current_path(dir.parent_path());
  fs::remove_all(dir);
  return 0;
}
