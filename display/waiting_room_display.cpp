#include "waiting_room_display.hpp"

#include "console.hpp"
#include "journal_format.hpp"

namespace {
constexpr int kEscape = 27;
}

WaitingRoomDisplay::WaitingRoomDisplay(JournalFollower& follower, Clocks clocks, bool quiet,
                                       Announcer* announcer)
    : WaitingRoomDisplay(Source{[&follower] { return follower.poll(); },
                                [&follower]() -> const JournalFollower& { return follower; }},
                         std::move(clocks), quiet, announcer) {}

WaitingRoomDisplay::WaitingRoomDisplay(Source source, Clocks clocks, bool quiet, Announcer* announcer)
    : source_(std::move(source)), clocks_(std::move(clocks)), quiet_(quiet), announcer_(announcer) {}

void WaitingRoomDisplay::run() {
  std::pair<int, int> size{0, 0};
  int shownMinute = -1;
  int highlight = 0;
  std::int64_t highlightEnds = 0;
  bool speechFailed = false;
  for (;;) {
    // The first round always draws: the size and the minute are new.
    bool redraw = false;
    const auto window = Console::windowSize();
    if (window != size) {
      size = window;
      Console::resizeScreen(size.first, size.second);
      redraw = true;
    }
    if (source_.poll()) {
      const JournalFollower& day = source_.day();
      redraw = true;
      if (day.newCallRoom() != 0) {
        highlight = day.newCallRoom();
        highlightEnds = clocks_.milliseconds() + kHighlightMs;
      }
      // The desk's clock: the newest line's moment, read as it was written.
      if (day.newestMoment() >= 0 && day.newestMoment() != deskMoment_) {
        if (deskMoment_ >= 0) deskClockKnown_ = true;  // a change seen as it came
        deskMoment_ = day.newestMoment();
        deskMomentAtMs_ = clocks_.milliseconds();
      }
      // Each call heard, also several that came together, and one that
      // came with the desk's first lines; a call older than a minute by
      // the desk's clock (a share that was away) is shown, not spoken.
      if (!quiet_ && !day.newCalls().empty()) {
        if (announcer_ && !announcer_->hung()) {
          for (std::size_t i = 0; i < day.newCalls().size(); ++i) {
            const auto [r, number] = day.newCalls()[i];
            const long long at = day.newCallMoments()[i];
            const double age = at < 0 ? 0.0 : static_cast<double>(deskMoment_ - at);
            announcer_->announce(announcementOf(number, r, day.newCallsAgain()[i]), r, age);
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
    // Each call that could not be spoken gets its beep, and the problem
    // row says why until a call is spoken again.
    if (announcer_) {
      const int failures = announcer_->failures();
      if (failures > beeped_ && !quiet_) Console::print("\a");
      beeped_ = failures;
      const bool failedNow = announcer_->failed();
      if (failedNow && !speechFailed && !quiet_ && announcer_->hung()) Console::print("\a");
      if (failedNow != speechFailed) redraw = true;
      speechFailed = failedNow;
    }
    const TimeOfDay now = clocks_.timeOfDay();
    if (now.minute != shownMinute) {
      shownMinute = now.minute;
      redraw = true;
    }
    if (redraw) {
      const JournalFollower& day = source_.day();
      WaitingRoom room;
      room.open = day.desk() != JournalFollower::Desk::Closed;
      room.state = day.state();
      room.highlightRoom = highlight;
      room.problem = day.problem();
      if (room.problem.empty() && speechFailed) room.problem = announcer_->problem();
      room.now = now;
      if (clocks_.today) {
        // The expected wait by the desk's clock where the journal has told
        // it, so a display PC whose clock is off says what one beside the
        // desk says.
        const long long moment =
            deskClockKnown_ ? deskMoment_ + (clocks_.milliseconds() - deskMomentAtMs_) / 1000
                            : momentOf(dateText(clocks_.today()), now.hour * 3600 + now.minute * 60 + now.second);
        for (int c = 1; c <= 2; ++c) {
          room.expectedMinutes[static_cast<std::size_t>(c - 1)] = day.expectedWait().minutes(
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
