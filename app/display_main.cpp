// morvalis-display: the waiting room's screen. Follows the journal of the
// desk's working directory (this one, or the one named) and shows the
// called numbers; reads only, and gives the console back as the desk does.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "console.hpp"
#include "command_line.hpp"
#include "console_run.hpp"
#include "entry_clock.hpp"
#include "file_system.hpp"
#include "file_watch.hpp"
#include "journal_follower.hpp"
#include "waiting_room_display.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: morvalis-display [--quiet] [DIRECTORY]\n"
    "Shows the numbers the morvalis desk calls, for a screen in the waiting room.\n"
    "It follows the journal of the desk's working directory: DIRECTORY, or the\n"
    "current directory. It only reads; q or ESC end it.\n"
    "\n"
    "  --quiet     no beep at a new call\n"
    "  --help      this text\n"
    "  --version   the version\n";

}  // namespace

int main(int argc, char** argv) {
  bool quiet = false;
  CommandLine line{"morvalis-display", kUsage, {{"--quiet", &quiet}}, {}};
  if (const auto status = line.parse(argc, argv)) return *status;
  const std::string& folder = line.folder;
  FileStamp stamp;
  if (!FileSystem::real().stamp(folder, stamp) || !stamp.folder) {
    return line.error("not a directory: ", folder);
  }

  return runOnConsole(MinimumSize{40, 12, "morvalis-display"}, [&] {
    const EntryClock clock = entryClock();
    JournalFollower follower(folder, FileSystem::real(), clock.today);
    FileWatch watch(folder);
    WaitingRoomDisplay display(follower,
                               {clock.timeOfDay,
                                [] {
                                  return std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now().time_since_epoch())
                                      .count();
                                },
                                clock.today},
                               quiet, &watch);
    display.run();
  });
}
