#include "expected_wait.hpp"

#include <algorithm>
#include <cmath>

void ExpectedWait::called(int category, long long moment, int waitingAfter) {
  Calls& c = calls_[static_cast<std::size_t>(category - 1)];
  if (!c.moments.empty() && c.othersWaited) {
    c.gaps.emplace_back(moment, moment - c.moments.back());
    if (c.gaps.size() > kGapsKept) c.gaps.pop_front();
  }
  c.moments.push_back(moment);
  if (c.moments.size() > kFewestCalls) c.moments.pop_front();
  c.othersWaited = waitingAfter > 0;
}

ExpectedWait ExpectedWait::of(const std::vector<TimedChange>& changes) {
  ExpectedWait pace;
  DayState running;
  for (const TimedChange& c : changes) pace.take(c, running);
  return pace;
}

void ExpectedWait::take(const TimedChange& c, DayState& running) {
  applyChange(running, c.change);
  if (c.change.kind == ChangeKind::Called && c.second != kUnknownSecond) {
    const int category = c.change.category;
    called(category, momentOf(c.date, c.second),
           running.series[static_cast<std::size_t>(category - 1)].waiting);
  }
}

std::optional<int> ExpectedWait::minutes(int category, int waiting, long long now) const {
  const Calls& c = calls_[static_cast<std::size_t>(category - 1)];
  if (c.moments.size() < kFewestCalls || now - c.moments.front() > kWindowSeconds ||
      c.moments.back() > now) {
    return std::nullopt;
  }
  long long total = 0;
  int count = 0;
  for (const auto& [end, length] : c.gaps) {
    if (now - (end - length) > kWindowSeconds) continue;  // begun within the hour
    total += length;
    ++count;
  }
  double seconds = 0.0;
  if (count > 0) {
    const double between = static_cast<double>(total) / count;
    // A clock set back makes no call lie in the future.
    const double since = static_cast<double>(std::max(0LL, now - c.moments.back()));
    seconds = std::max(0.0, (waiting + 1) * between - since);
  }
  const int rounded = static_cast<int>(std::lround(seconds / 60.0 / 5.0)) * 5;
  return std::max(rounded, 5);
}
