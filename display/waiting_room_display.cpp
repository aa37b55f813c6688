#include "waiting_room_display.hpp"

#include "console.hpp"
#include "journal_format.hpp"

namespace {
constexpr int kEscape = 27;
}

WaitingRoomDisplay::WaitingRoomDisplay(JournalFollower& follower, Clocks clocks, bool quiet,
                                       FileWatch* watch, Announcer* announcer)
    : follower_(follower),
      clocks_(std::move(clocks)),
      quiet_(quiet),
      watch_(watch),
      announcer_(announcer) {}

void WaitingRoomDisplay::run() {
  std::pair<int, int> size{0, 0};
  int shownMinute = -1;
  int highlight = 0;
  std::int64_t highlightEnds = 0;
  bool speechFailed = false;
  if (watch_) Console::wakeOn(watch_->handle());
  for (;;) {
    if (watch_) watch_->drain();
    // The first round always draws: the size and the minute are new.
    bool redraw = false;
    const auto window = Console::windowSize();
    if (window != size) {
      size = window;
      Console::resizeScreen(size.first, size.second);
      redraw = true;
    }
    if (follower_.poll()) {
      redraw = true;
      if (follower_.newCallRoom() != 0) {
        highlight = follower_.newCallRoom();
        highlightEnds = clocks_.milliseconds() + kHighlightMs;
      }
      // Each call heard, also several that came together, and one that
      // came with the desk's first lines.
      if (!quiet_ && !follower_.newCalls().empty()) {
        if (announcer_ && !announcer_->failed()) {
          for (const auto& [r, number] : follower_.newCalls()) {
            announcer_->announce(announcementOf(number, r));
          }
        } else {
          Console::print("\a");
        }
      }
    }
    if (highlight != 0 && clocks_.milliseconds() >= highlightEnds) {
      highlight = 0;
      redraw = true;
    }
    // Speech that failed is said once it has, and from then on the beep.
    if (announcer_ && !speechFailed && announcer_->failed()) {
      speechFailed = true;
      redraw = true;
      if (!quiet_) Console::print("\a");  // for the call it could not speak
    }
    const TimeOfDay now = clocks_.timeOfDay();
    if (now.minute != shownMinute) {
      shownMinute = now.minute;
      redraw = true;
    }
    if (redraw) {
      WaitingRoom room;
      room.open = follower_.desk() != JournalFollower::Desk::Closed;
      room.state = follower_.state();
      room.highlightRoom = highlight;
      room.problem = follower_.problem();
      if (room.problem.empty() && speechFailed) room.problem = announcer_->problem();
      room.now = now;
      if (clocks_.today) {
        const long long moment =
            momentOf(dateText(clocks_.today()), now.hour * 3600 + now.minute * 60 + now.second);
        for (int c = 1; c <= 2; ++c) {
          room.expectedMinutes[static_cast<std::size_t>(c - 1)] = follower_.expectedWait().minutes(
              c, room.state.series[static_cast<std::size_t>(c - 1)].waiting, roomsOf(room.state, c),
              moment);
        }
      }
      drawWaitingRoom(room, size.first, size.second);
    }
    const auto key = Console::readKeyWithin(kPollMs);
    if (!key) continue;
    if (*key == 0) {
      Console::readKeyWithin(0);  // an extended key's second code: nothing
      continue;
    }
    if (*key == 'q' || *key == kEscape) return;
  }
}
