// The program entry: takes the folder and the console, takes up the day
// the journal kept, runs the front desk until ESC, and gives the console
// back however the run ends.
#include <cstdio>
#include <cstdlib>

#include "console.hpp"
#include "console_run.hpp"
#include "front_desk.hpp"
#include "journal.hpp"

namespace {

DeskClock deskClock = Clock::now;
Journal::Today deskDate = clockDay;

#ifdef MORVALIS_TEST_HOOKS
// Test builds only: MORVALIS_TEST_NOW="2026-12-07 08:30" stops the clock at
// that moment, so runs that are killed and restarted log the same times;
// MORVALIS_TEST_NOW="@FILE" reads that moment from FILE at every reading,
// so a test can move the clock under a running desk.
struct Moment {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

bool testMoment(Moment& m) {
  static const char* now = std::getenv("MORVALIS_TEST_NOW");
  char text[64] = {};
  const char* moment = now;
  if (now && now[0] == '@') {
    FILE* file = std::fopen(now + 1, "r");
    if (!file) return false;
    const bool read = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    if (!read) return false;
    moment = text;
  }
  return moment &&
         std::sscanf(moment, "%d-%d-%d %d:%d", &m.year, &m.month, &m.day, &m.hour, &m.minute) == 5;
}

void useTestClock() {
  Moment start;
  if (!testMoment(start)) return;
  deskClock = [start] {
    Moment m = start;
    testMoment(m);
    return TimeOfDay{static_cast<std::uint8_t>(m.minute), static_cast<std::uint8_t>(m.hour), 0, 0};
  };
  deskDate = [start] {
    Moment m = start;
    testMoment(m);
    return CalendarDay{m.year, m.month, m.day};
  };
}
#endif

}  // namespace

int main() {
#ifdef MORVALIS_TEST_HOOKS
  useTestClock();
#endif
  Journal journal(FileSystem::real(), deskDate);
  // Two desks in one folder would hand out the same numbers twice.
  if (!journal.takeLock()) {
    std::fprintf(stderr, "morvalis: morvalis already runs in this directory\n");
    return 1;
  }
  // The desk's picture needs 80 x 24 on a terminal, 80 x 25 in a Windows console.
  int openAtEsc = 0;
  const int status =
      runOnConsole(MinimumSize{ConsoleSession::kMinColumns, ConsoleSession::kMinRows}, [&] {
        FrontDesk desk(deskClock, FileSystem::real(), &journal);
        Journal::Start start = journal.open();
        if (start.resumed) desk.resume(start.state);
        desk.notices.insert(desk.notices.end(), start.notices.begin(), start.notices.end());
        journal.rewrite(desk.dayState());
        desk.run();
        openAtEsc = desk.dayState().roomsOpen();
      });
  // ESC ends the day: shifts still open are not in the log, and the journal
  // that kept them is gone. Said once the terminal is the shell's again.
  if (openAtEsc > 0) {
    std::fprintf(stderr, "morvalis: %d %s still open at ESC; not in data.txt\n", openAtEsc,
                 openAtEsc == 1 ? "shift was" : "shifts were");
  }
  if (!journal.closeProblem().empty()) {
    std::fprintf(stderr, "morvalis: %s\n", journal.closeProblem().c_str());
  }
  return status;
}
