// morvalis-display: the waiting room's screen. Follows the journal of the
// desk's working directory (this one, or the one named) and shows the
// called numbers; reads only, and gives the console back as the desk does.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "console.hpp"
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

int usageError(const char* what, const std::string& subject) {
  std::fprintf(stderr, "morvalis-display: %s%s\nTry 'morvalis-display --help'.\n", what,
               subject.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool quiet = false;
  const char* folderArg = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("morvalis-display %s\n", MORVALIS_VERSION);
      return 0;
    }
    if (arg == "--quiet") {
      quiet = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option ", arg);
    } else if (folderArg) {
      return usageError("one directory at the most, not also ", arg);
    } else {
      folderArg = argv[i];
    }
  }
  const std::string folder = folderArg ? folderArg : ".";
  FileStamp stamp;
  if (!FileSystem::real().stamp(folder, stamp) || !stamp.folder) {
    return usageError("not a directory: ", folder);
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
