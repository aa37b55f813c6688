// The program entry: takes the folder and the console, takes up the day
// the journal kept, runs the front desk until ESC, and gives the console
// back however the run ends.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "console.hpp"
#include "console_session.hpp"
#include "front_desk.hpp"
#include "journal.hpp"

namespace {

DeskClock deskClock = Clock::now;
Journal::Today deskDate = Clock::today;

#ifdef MORVALIS_TEST_HOOKS
// Test builds only: MORVALIS_TEST_NOW="2026-12-07 08:30" stops the clock at
// that moment, so runs that are killed and restarted log the same times.
void useTestClock() {
  const char* now = std::getenv("MORVALIS_TEST_NOW");
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  if (!now || std::sscanf(now, "%d-%d-%d %d:%d", &year, &month, &day, &hour, &minute) != 5) return;
  deskClock = [hour, minute] {
    return TimeOfDay{static_cast<std::uint8_t>(minute), static_cast<std::uint8_t>(hour), 0, 0};
  };
  deskDate = [year, month, day] { return CalendarDate{year, month, day}; };
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
  std::string error;
  auto session = ConsoleSession::open(error);
  if (!session) {
    std::fprintf(stderr, "morvalis: %s\n", error.c_str());
    return 1;
  }
  Console::attach(&session->device());
  int status = 0;
  ConsoleClosed ending;
  const char* reason = nullptr;
  try {
    FrontDesk desk(deskClock, FileSystem::real(), &journal);
    Journal::Start start = journal.open();
    if (start.resumed) desk.resume(start.state);
    desk.notices.insert(desk.notices.end(), start.notices.begin(), start.notices.end());
    journal.rewrite(desk.dayState());
    desk.run();
  } catch (const ConsoleClosed& closed) {
    ending = closed;
    status = 1;
    reason = endingReason(closed);
  } catch (const std::exception& e) {
    status = 1;
    reason = e.what();
  }
  Console::attach(nullptr);
  session.reset();  // the console is given back before anything else is said
  if (reason) std::fprintf(stderr, "morvalis: %s\n", reason);
  endLikeTheSignal(ending);
  return status;
}
