// ExpectedWait: about how long a patient who gets a number now will wait,
// per category, from the pace of that category's recent calls and the
// numbers waiting before them.
//
// The pace is the mean time between calls made while others still waited
// (so the rooms were never idle in between), over the last hour and at
// most the last eight such gaps. With fewer than three calls in the last
// hour there is not enough of the day to say (nothing). A new patient is
// called after the ones waiting and their own turn: (waiting + 1) x the
// time between calls, less what has passed since the last call; with no
// such gap yet (the rooms keep up), the wait is the shortest said. Moments
// are seconds (see momentOf); the answer is whole minutes, rounded to a
// multiple of 5, at least 5.
#pragma once

#include <array>
#include <deque>
#include <optional>
#include <vector>

#include "journal_format.hpp"

class ExpectedWait {
 public:
  static constexpr int kWindowSeconds = 3600;
  static constexpr std::size_t kGapsKept = 8;
  static constexpr std::size_t kFewestCalls = 3;

  // A call of `category` (1 or 2) at `moment`, in the order they came,
  // with how many of that category still wait after it.
  void called(int category, long long moment, int waitingAfter);
  std::optional<int> minutes(int category, int waiting, long long now) const;

  // The pace of the calls in a journal's changes.
  static ExpectedWait of(const std::vector<TimedChange>& changes);
  // The same, one change at a time, in order; `running` is the state the
  // changes so far made (start from an empty one).
  void take(const TimedChange& change, DayState& running);

 private:
  struct Calls {
    std::deque<long long> moments;             // the last calls
    std::deque<std::pair<long long, long long>> gaps;  // (end, length) of busy gaps
    bool othersWaited = false;                 // after the last call
  };
  std::array<Calls, 2> calls_;
};
