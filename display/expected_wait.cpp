#include "expected_wait.hpp"

#include <algorithm>
#include <cmath>

void ExpectedWait::called(int category, long long moment) {
  auto& calls = calls_[static_cast<std::size_t>(category - 1)];
  calls.push_back(moment);
  if (calls.size() > kCallsKept) calls.pop_front();
}

std::optional<int> ExpectedWait::minutes(int category, int waiting, long long now) const {
  const auto& all = calls_[static_cast<std::size_t>(category - 1)];
  const auto recent =
      std::find_if(all.begin(), all.end(), [now](long long at) { return now - at <= kWindowSeconds; });
  const auto count = static_cast<std::size_t>(all.end() - recent);
  if (count < kFewestCalls) return std::nullopt;
  const double between =
      static_cast<double>(all.back() - *recent) / static_cast<double>(count - 1);
  const double seconds =
      std::max(0.0, (waiting + 1) * between - static_cast<double>(now - all.back()));
  const int rounded = static_cast<int>(std::ceil(seconds / 60.0 / 5.0)) * 5;
  return std::max(rounded, 5);
}
