// morvalis-rum: the technician's station in one room, on the day the
// clinic shares in PostgreSQL (morvalis.conf's `database` in its
// directory); ESC ends the station, not the day.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "booth.hpp"
#include "command_line.hpp"
#include "console.hpp"
#include "console_run.hpp"
#include "entry_clock.hpp"
#include "shared_day.hpp"
#include "station_start.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: morvalis-rum ROOM [DIRECTORY]\n"
    "The technician's station in room ROOM (1..5): arrive (F1), leave (F2), call the\n"
    "next patient (F4), the shift's figures (F5), call again (F6), did not come (F7).\n"
    "It needs the clinic's shared day: a line database = URI in DIRECTORY's\n"
    "morvalis.conf (DIRECTORY, or the current directory), whose data.txt gets the\n"
    "shifts it ends. ESC ends the station.\n"
    "\n"
    "  --help      this text\n"
    "  --version   the version\n";

}  // namespace

int main(int argc, char** argv) {
  // The room comes first; the rest is read as the other programs read it.
  int room = 0;
  if (argc >= 2 && std::strlen(argv[1]) == 1 && argv[1][0] >= '1' && argv[1][0] <= '5') {
    room = argv[1][0] - '0';
    argv[1] = argv[0];
    ++argv;
    --argc;
  }
  CommandLine line{"morvalis-rum", kUsage, {}, {}};
  if (const auto status = line.parse(argc, argv)) return *status;
  if (room == 0) return line.error("the room comes first: 1 to 5", "");
  int status = 0;
  const auto config = stationConfig(line, "a booth works", status);
  if (!config) return status;
  return runOnConsole(MinimumSize{40, 12, "morvalis-rum"}, [&] {
    const EntryClock clock = entryClock();
    const auto store = openSharedDay(config->database, "rum " + std::to_string(room), [&clock] { return clock.now(); });
    const DayStore::Start start = store->open();
    Booth booth(*store, start.state, store->dayText(), room, [&clock] { return clock.now(); });
    booth.run();
  });
}
