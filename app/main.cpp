// The program entry: takes the folder and the console, takes up the day
// the journal kept, runs the front desk until ESC, and gives the console
// back however the run ends. `morvalis --proevebillet` prints one sample
// ticket to the printer morvalis.conf names, and says whether it got there.
#include <cstdio>
#include <cstring>
#include <memory>

#include "console.hpp"
#include "console_run.hpp"
#include "entry_clock.hpp"
#include "front_desk.hpp"
#include "desk_config.hpp"
#include "journal.hpp"
#include "run_printer.hpp"
#include "shared_day.hpp"
#include "ticket.hpp"

namespace {

int testTicket(const EntryClock& clock) {
  const DeskConfig config = readDeskConfig(FileSystem::real());
  for (const std::string& problem : config.problems) std::fprintf(stderr, "morvalis: %s\n", problem.c_str());
  if (config.printer.empty()) {
    std::fprintf(stderr, "morvalis: no printer in morvalis.conf (a line: printer = HOST:PORT)\n");
    return 1;
  }
  const Moment now = clock.now();
  Ticket sample;
  sample.clinic = config.clinic;
  sample.number = 17;
  char when[48];
  std::snprintf(when, sizeof when, "%02d-%02d-%04d kl. %02d:%02d (proevebillet)", now.day.day,
                now.day.month, now.day.year, now.second / 3600, now.second / 60 % 60);
  sample.when = when;
  sample.ahead = 4;
  sample.expectedMinutes = 15;
  const PrintResult result = sendToPrinter(config.printer, ticketBytes(sample));
  if (result.outcome != PrintOutcome::Printed) {
    std::printf("morvalis: the test ticket did not get to %s: %s\n", config.printer.c_str(),
                result.reason.c_str());
    return 1;
  }
  std::printf("morvalis: the test ticket went to %s\n", config.printer.c_str());
  return 0;
}

// Creates the day's tables in the database morvalis.conf names, or brings
// them up to this version.
int createDatabase() {
  const DeskConfig config = readDeskConfig(FileSystem::real());
  if (!config.refusal.empty()) {
    std::fprintf(stderr, "morvalis: %s\n", config.refusal.c_str());
    return 1;
  }
  if (config.database.empty()) {
    std::fprintf(stderr, "morvalis: no database in morvalis.conf (a line: database = postgresql://...)\n");
    return 1;
  }
  std::string said;
  const bool made = createSharedDay(config.database, said);
  std::fprintf(made ? stdout : stderr, "morvalis: %s\n", said.c_str());
  return made ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const EntryClock clock = entryClock();
  if (argc == 2 && std::strcmp(argv[1], "--proevebillet") == 0) return testTicket(clock);
  if (argc == 2 && std::strcmp(argv[1], "--opret-database") == 0) return createDatabase();
  if (argc > 1) {
    std::fprintf(stderr, "morvalis: unknown argument %s (--proevebillet or --opret-database)\n",
                 argv[1]);
    return 2;
  }
  const DeskConfig config = readDeskConfig(FileSystem::real());
  if (!config.refusal.empty()) {
    std::fprintf(stderr, "morvalis: %s\n", config.refusal.c_str());
    return 1;
  }
  Journal journal(FileSystem::real(), [&clock] { return clock.now(); });
  // With a database the day is the clinic's, shared by its stations; the
  // folder still keeps this desk's data.txt, so one desk per folder.
  std::unique_ptr<DayStore> database;
  if (!config.database.empty()) {
    database = openSharedDay(config.database, "", [&clock] { return clock.now(); });
    if (!database) {
      std::fprintf(stderr, "morvalis: morvalis.conf names a database, and %s\n", kNoDatabaseInBuild);
      return 1;
    }
  }
  // Two desks in one folder would hand out the same numbers twice.
  if (!journal.takeLock()) {
    std::fprintf(stderr, "morvalis: morvalis already runs in this directory\n");
    return 1;
  }
  // The desk's picture needs 80 x 24 on a terminal, 80 x 25 in a Windows console.
  int openAtEsc = 0;
  int ticketsLost = 0;
  // Said once the terminal is the shell's again, however the desk ended.
  const auto lastWords = [&] { sayTicketsLost("morvalis", ticketsLost); };
  const int status = runOnConsole(
      MinimumSize{ConsoleSession::kMinColumns, ConsoleSession::kMinRows},
      [&] {
        DayStore& store = database ? *database : journal;
        DayStore::Start start = store.open();
        // Tickets go out on a thread of their own.
        const RunPrinter printer(config.printer, ticketsLost);
        FrontDesk desk(clock.timeOfDay, FileSystem::real(),
                       DeskParts{&store, printer.get(), config.clinic, std::move(start.pace),
                                 config.notMetFirst});
        if (start.resumed) desk.resume(start.state);
        desk.notices.insert(desk.notices.end(), start.notices.begin(), start.notices.end());
        desk.notices.insert(desk.notices.end(), config.problems.begin(), config.problems.end());
        store.begin(desk.dayState());
        desk.run();
        if (!store.shared()) openAtEsc = desk.dayState().roomsOpen();
      },
      lastWords);
  // ESC ends the day: shifts still open are not in the log, and the journal
  // that kept them is gone. Said once the terminal is the shell's again.
  if (openAtEsc > 0) {
    std::fprintf(stderr, "morvalis: %d %s still open at ESC; not in data.txt\n", openAtEsc,
                 openAtEsc == 1 ? "shift was" : "shifts were");
  }
  database.reset();  // its listener ends within its limit
  if (!journal.closeProblem().empty()) {
    std::fprintf(stderr, "morvalis: %s\n", journal.closeProblem().c_str());
  }
  return status;
}
