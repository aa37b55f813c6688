#include "day_store.hpp"

namespace {
// A day that moves on under a station this often in one change is busier
// than any clinic.
constexpr int kDecisions = 20;
}  // namespace

std::optional<Change> keepChange(DayStore& store, DayState& state, const Decision& decide,
                                 const std::function<void(const DayStore::News&)>& news) {
  for (int round = 0; round < kDecisions; ++round) {
    const std::optional<Change> change = decide(state);
    if (!change) return std::nullopt;
    DayState after = state;
    applyChange(after, *change);
    const DayStore::Outcome outcome = store.append(*change, [&after] { return after; });
    if (outcome == DayStore::Outcome::Kept) {
      state = std::move(after);
      return change;
    }
    if (outcome != DayStore::Outcome::Stale) return std::nullopt;
    if (std::optional<DayStore::News> caught = store.news()) {
      state = caught->state;
      if (news) news(*caught);
    }
  }
  return std::nullopt;
}
