// morvalis-display: the waiting room's screen. Follows the journal of the
// desk's working directory (this one, or the one named) and shows the
// called numbers; reads only, and gives the console back as the desk does.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "console.hpp"
#include "command_line.hpp"
#include "console_run.hpp"
#include "entry_clock.hpp"
#include "file_system.hpp"
#include "follower_thread.hpp"
#include "desk_config.hpp"
#include "journal_follower.hpp"
#include "shared_day.hpp"
#include "waiting_room_display.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: morvalis-display [--quiet | --bip] [DIRECTORY]\n"
    "Shows the numbers the morvalis desk calls, for a screen in the waiting room.\n"
    "It follows the journal of the desk's working directory: DIRECTORY, or the\n"
    "current directory. It only reads; q or ESC end it.\n"
    "\n"
    "  --quiet     no sound at a new call\n"
    "  --bip       a beep at a new call, not the spoken call (\"Nummer 17, rum 3\")\n"
    "  --help      this text\n"
    "  --version   the version\n";

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
  // One spoken call, in a process of its own (see systemSpeech()).
  if (argc == 3 && std::strcmp(argv[1], "--tal") == 0) return speakHere(argv[2]);
#endif
  bool quiet = false, beepOnly = false;
  CommandLine line{"morvalis-display", kUsage, {{"--quiet", &quiet}, {"--bip", &beepOnly}}, {}};
  if (const auto status = line.parse(argc, argv)) return *status;
  const std::string& folder = line.folder;
  FileStamp stamp;
  if (!FileSystem::real().stamp(folder, stamp) || !stamp.folder) {
    return line.error("not a directory: ", folder);
  }

  // The day in a database when the folder's morvalis.conf names one.
  const DeskConfig config = readDeskConfig(FileSystem::real(), folder + "/" + DeskConfig::kFileName);

  return runOnConsole(MinimumSize{40, 12, "morvalis-display"}, [&] {
    const EntryClock clock = entryClock();
    JournalFollower::DaySource source;
    std::function<ExpectedWait::Usual()> usual;
    std::unique_ptr<DayStore> database;
    if (!config.database.empty()) database = openSharedDay(config.database, "display", [&clock] { return clock.now(); });
    if (database) {
      database->open();
      std::size_t shown = 0;
      bool wasCurrent = false;
      source = [&database, shown, wasCurrent]() mutable {
        if (database->hasNews()) database->news();
        const bool current = database->current();
        JournalFollower::DayRead read;
        read.text = database->dayText();
        read.changed = read.text.size() != shown || current != wasCurrent;
        if (!current) read.problem = database->warning();
        shown = read.text.size();
        wasCurrent = current;
        return read;
      };
      usual = [&database] { return database->usual(); };
    } else if (!config.database.empty()) {
      source = [] { return JournalFollower::DayRead{true, "", "Bygget uden PostgreSQL"}; };
    }
    // The database's day is read by its listener; a journal, which may be
    // on a share that hangs, on a thread of its own.
    JournalFollower follower = source ? JournalFollower(source, usual, folder, FileSystem::real(), clock.today)
                                      : JournalFollower(folder, FileSystem::real(), clock.today);
    std::unique_ptr<FollowerThread> reader;
    if (!source) reader = std::make_unique<FollowerThread>(follower, folder);
    // Calls are spoken on a thread of their own, made here so that it
    // shares the terminal session's blocked signals.
    std::unique_ptr<Announcer> announcer;
    if (!quiet && !beepOnly) announcer = std::make_unique<Announcer>(systemSpeech());
    const WaitingRoomDisplay::Clocks clocks{clock.timeOfDay,
                                            [] {
                                              return std::chrono::duration_cast<std::chrono::milliseconds>(
                                                         std::chrono::steady_clock::now().time_since_epoch())
                                                  .count();
                                            },
                                            clock.today};
    // The reader or the database's listener wakes the display at news.
    if (reader) {
      Console::wakeOn(reader->wakeHandle());
      WaitingRoomDisplay({[&reader] { return reader->poll(); },
                          [&reader]() -> const JournalFollower& { return reader->day(); }},
                         clocks, quiet, announcer.get())
          .run();
    } else {
      if (database) Console::wakeOn(database->wakeHandle());
      WaitingRoomDisplay(follower, clocks, quiet, announcer.get()).run();
    }
  });
}
