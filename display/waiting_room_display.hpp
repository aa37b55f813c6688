// WaitingRoomDisplay: the display's loop. It fills the console's window
// (laid out anew when the window changes its size), follows the day as
// soon as its source wakes the wait for keys (see Console::wakeOn), and
// every `kPollMs` in any case (network shares), lets the
// newest call stand out for kHighlightMs and announces it once (unless
// quiet): spoken by `announcer` when there is one and it does not hang,
// else a beep; a call that could not be spoken is beeped when that is
// known, and the problem row says why until a call is spoken again. The
// expected waits are judged by the desk's clock (the journal's newest line
// and the time since it was read) once the journal has changed while the
// display ran. It keeps the time of day current and ends on q or ESC;
// every other key does nothing. Between those it waits for keys: no busy
// loop.
#pragma once

#include <cstdint>
#include <functional>

#include "console_types.hpp"
#include "announcer.hpp"
#include "journal_follower.hpp"
#include "waiting_room_view.hpp"

class WaitingRoomDisplay {
 public:
  static constexpr int kPollMs = 200;
  static constexpr int kHighlightMs = 10'000;

  struct Clocks {
    std::function<TimeOfDay()> timeOfDay;
    std::function<std::int64_t()> milliseconds;  // a steady count, for the highlight
    std::function<CalendarDay()> today;  // for the expected waits; none: not shown
  };

  // Where the day comes from: poll() true when what is shown changed;
  // day() what the latest poll found.
  struct Source {
    std::function<bool()> poll;
    std::function<const JournalFollower&()> day;
  };

  WaitingRoomDisplay(Source source, Clocks clocks, bool quiet, Announcer* announcer = nullptr);
  // `follower` read in the display's own loop.
  WaitingRoomDisplay(JournalFollower& follower, Clocks clocks, bool quiet, Announcer* announcer = nullptr);
  void run();

 private:
  Source source_;
  Clocks clocks_;
  bool quiet_;
  Announcer* announcer_;
  int beeped_ = 0;                 // the speech failures beeped for
  long long deskMoment_ = -1;      // the journal's newest line, by the desk's clock
  std::int64_t deskMomentAtMs_ = 0;  // when it was read, on the steady count
  bool deskClockKnown_ = false;    // read as it was written, not at start
};
