// morvalis-automat: the ticket machine at the clinic's door. Gives numbers
// on the day the clinic shares in PostgreSQL (morvalis.conf's `database` in
// its directory), prints their tickets on the printer named there, and
// ends only on its end key or a signal.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "command_line.hpp"
#include "console.hpp"
#include "console_run.hpp"
#include "entry_clock.hpp"
#include "shared_day.hpp"
#include "run_printer.hpp"
#include "station_start.hpp"
#include "ticket_machine.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: morvalis-automat [DIRECTORY]\n"
    "The ticket machine at the door: a key gives a number (v adults, b children,\n"
    "unless morvalis.conf says otherwise) and prints its ticket. It needs the\n"
    "clinic's shared day: a line database = URI in DIRECTORY's morvalis.conf\n"
    "(DIRECTORY, or the current directory). Only its end key (ctrl+q) ends it.\n"
    "\n"
    "  --help      this text\n"
    "  --version   the version\n";

long long steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line{"morvalis-automat", kUsage, {}, {}};
  if (const auto status = line.parse(argc, argv)) return *status;
  int status = 0;
  const auto config = stationConfig(line, "the ticket machine gives numbers", status);
  if (!config) return status;
  int ticketsLost = 0;
  return runOnConsole(
      MinimumSize{40, 12, "morvalis-automat"},
      [&] {
        const EntryClock clock = entryClock();
        const auto store = openSharedDay(config->database, "automat", [&clock] { return clock.now(); });
        DayStore::Start start = store->open();
        const RunPrinter printer(config->printer, ticketsLost);
        TicketMachine machine(*store, start.state, printer.get(), config->clinic, std::move(start.pace),
                              TicketMachine::Keys{config->keyAdult, config->keyChild, config->keyEnd},
                              [&clock] { return clock.now(); }, steadyMs);
        machine.run();
      },
      [&] { sayTicketsLost("morvalis-automat", ticketsLost); });
}
