// The program entry: takes the folder and the console, takes up the day
// the journal kept, runs the front desk until ESC, and gives the console
// back however the run ends.
#include <cstdio>

#include "console.hpp"
#include "console_run.hpp"
#include "entry_clock.hpp"
#include "front_desk.hpp"
#include "journal.hpp"

int main() {
  const EntryClock clock = entryClock();
  Journal journal(FileSystem::real(), [&clock] { return clock.now(); });
  // Two desks in one folder would hand out the same numbers twice.
  if (!journal.takeLock()) {
    std::fprintf(stderr, "morvalis: morvalis already runs in this directory\n");
    return 1;
  }
  // The desk's picture needs 80 x 24 on a terminal, 80 x 25 in a Windows console.
  int openAtEsc = 0;
  const int status =
      runOnConsole(MinimumSize{ConsoleSession::kMinColumns, ConsoleSession::kMinRows}, [&] {
        FrontDesk desk(clock.timeOfDay, FileSystem::real(), &journal);
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
