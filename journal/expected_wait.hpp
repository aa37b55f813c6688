// ExpectedWait: about how long a patient who gets a number now will wait,
// per category, from how long a patient takes in a room and the rooms of
// that category open now.
//
// A room's pace is the time between its consecutive calls while others
// still waited (so it went from one patient to the next): today's, over
// the last hour (at most kGapsKept of them), and the usual of the same
// hour on the days before (Usual, from historik/). Today's gaps count as
// they come, the usual as kUsualWeight gaps of its own, so the morning's
// first patients, before any room has called twice, get the usual pace,
// and a day that runs otherwise soon gets its own. A new patient is called
// after the ones waiting and their own turn: (waiting + 1) x the pace /
// the rooms open, less what has passed since the category's last call.
// Without a usual pace and with fewer than kFewestGaps of today there is
// nothing to say (nothing is better than a number known to be wrong);
// calls made with nobody waiting (the rooms keep up) say the shortest
// wait. No room open for the category: nothing. Moments are seconds (see
// momentOf); the answer is whole minutes, rounded to a multiple of 5, at
// least 5.
#pragma once

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "file_system.hpp"
#include "journal_format.hpp"

class ExpectedWait {
 public:
  static constexpr int kWindowSeconds = 3600;
  static constexpr std::size_t kGapsKept = 40;
  static constexpr std::size_t kFewestGaps = 3;
  static constexpr double kUsualWeight = 10.0;
  // A room's gap longer than this was a pause, not a patient.
  static constexpr long long kLongestGap = 1800;
  // The days before that make the usual pace.
  static constexpr std::size_t kUsualDays = 20;

  // The usual seconds a patient of a category takes in a room, by the hour
  // of the day, from earlier days.
  struct Usual {
    std::array<std::array<double, 24>, 2> seconds{};
    std::array<std::array<int, 24>, 2> gaps{};
    // The hour's pace, else the day's, where there are gaps enough.
    std::optional<double> at(int category, int hour) const;
  };
  // From whole days' journals.
  static Usual usualOf(const std::vector<std::string>& days);
  // The last kUsualDays of historik/ in `folder` dated before `today`; an
  // empty Usual where there is none or it cannot be read.
  static Usual readUsual(FileSystem& files, const std::string& folder, const std::string& today);

  void setUsual(const Usual& usual) { usual_ = usual; }
  // A call into `room` of `category` (1 or 2) at `moment`, in the order they
  // came, with how many of that category still wait after it.
  void called(int room, int category, long long moment, int waitingAfter);
  // `rooms`: the rooms of the category open now.
  std::optional<int> minutes(int category, int waiting, int rooms, long long now) const;

  // The pace of the calls in a journal's changes.
  static ExpectedWait of(const std::vector<TimedChange>& changes);
  // The same, one change at a time, in order; `running` is the state the
  // changes so far made (start from an empty one).
  void take(const TimedChange& change, DayState& running);

 private:
  // A call's room gap: the seconds since the room's call before, when it
  // went straight from that patient to this one; updates the room.
  std::optional<long long> roomGap(int room, int category, long long moment, int waitingAfter);
  // The calls of a day's changes, one by one: room gap and all.
  template <typename Each>
  static void eachCall(const TimedChange& change, DayState& running, Each each);

  struct Room {
    long long lastCall = -1;
    int category = 0;
    bool othersWaited = false;
  };
  struct Category {
    std::deque<std::pair<long long, long long>> gaps;  // (end, length) of a room's busy gap
    std::deque<std::pair<long long, bool>> calls;      // the last calls: moment, others waited
  };
  std::array<Room, DayState::kRooms> rooms_{};
  std::array<Category, 2> categories_{};
  Usual usual_;
};

// The rooms of `category` open in `state`.
int roomsOf(const DayState& state, int category);
