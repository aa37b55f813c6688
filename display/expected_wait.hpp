// ExpectedWait: about how long a patient who gets a number now will wait,
// per category, from the pace of that category's recent calls and the
// numbers waiting before them.
//
// The pace is the mean time between the calls of the last hour, at most
// the last eight of them; with fewer than three such calls there is not
// enough of the day to say (nothing). A new patient is called after the
// ones waiting and their own turn: (waiting + 1) x the time between calls,
// less what has passed since the last call. Moments are seconds (see
// momentOf); the answer is whole minutes, rounded up to a multiple of 5,
// at least 5.
#pragma once

#include <array>
#include <deque>
#include <optional>

class ExpectedWait {
 public:
  static constexpr int kWindowSeconds = 3600;
  static constexpr std::size_t kCallsKept = 8;
  static constexpr std::size_t kFewestCalls = 3;

  // A call of `category` (1 or 2) at `moment`, in the order they came.
  void called(int category, long long moment);
  std::optional<int> minutes(int category, int waiting, long long now) const;

 private:
  std::array<std::deque<long long>, 2> calls_;
};
