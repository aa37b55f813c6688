#include "expected_wait.hpp"

#include <algorithm>
#include <cmath>

int roomsOf(const DayState& state, int category) {
  int open = 0;
  for (const auto& room : state.rooms) open += room && room->category == category ? 1 : 0;
  return open;
}

std::optional<double> ExpectedWait::Usual::at(int category, int hour) const {
  const auto k = static_cast<std::size_t>(category - 1);
  const auto h = static_cast<std::size_t>(std::clamp(hour, 0, 23));
  if (gaps[k][h] >= static_cast<int>(kFewestGaps)) return seconds[k][h] / gaps[k][h];
  double total = 0;
  int count = 0;
  for (std::size_t i = 0; i < 24; ++i) {
    total += seconds[k][i];
    count += gaps[k][i];
  }
  if (count < static_cast<int>(kFewestGaps)) return std::nullopt;
  return total / count;
}

template <typename Each>
void ExpectedWait::eachCall(const TimedChange& c, DayState& running, Each each) {
  applyChange(running, c.change);
  if (c.change.kind == ChangeKind::Called && c.second != kUnknownSecond) {
    const int category = c.change.category;
    each(c.change.room, category, momentOf(c.date, c.second),
         running.series[static_cast<std::size_t>(category - 1)].waiting);
  }
}

ExpectedWait::Usual ExpectedWait::usualOf(const std::vector<std::string>& days) {
  Usual usual;
  for (const std::string& day : days) {
    ExpectedWait rooms;
    DayState running;
    replayJournal(day, [&](TimedChange&& change) {
      eachCall(change, running, [&](int room, int category, long long moment, int waitingAfter) {
        const auto gap = rooms.roomGap(room, category, moment, waitingAfter);
        if (!gap) return;
        // Counted in the hour the patient went in.
        const auto hour = static_cast<std::size_t>((moment - *gap) % 86400 / 3600);
        const auto k = static_cast<std::size_t>(category - 1);
        usual.seconds[k][hour] += static_cast<double>(*gap);
        ++usual.gaps[k][hour];
      });
    });
  }
  return usual;
}

ExpectedWait::Usual ExpectedWait::readUsual(FileSystem& files, const std::string& folder,
                                            const std::string& today) {
  const std::string history = folder + "/" + kHistoryFolderName;
  std::vector<std::string> names;
  for (const std::string& name : files.namesIn(history)) {
    if (name.size() >= 14 && name.ends_with(".txt") && isDateText(name.substr(0, 10)) &&
        name.substr(0, 10) < today) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  if (names.size() > kUsualDays) names.erase(names.begin(), names.end() - kUsualDays);
  std::vector<std::string> days;
  for (const std::string& name : names) {
    std::string text, error;
    if (readWholeFile(files, history + "/" + name, text, error) == ReadOutcome::Read) {
      days.push_back(std::move(text));
    }
  }
  return usualOf(days);
}

std::optional<long long> ExpectedWait::roomGap(int room, int category, long long moment,
                                               int waitingAfter) {
  if (room < 1 || room > DayState::kRooms) return std::nullopt;
  Room& r = rooms_[static_cast<std::size_t>(room - 1)];
  std::optional<long long> gap;
  if (r.lastCall >= 0 && r.category == category && r.othersWaited && moment >= r.lastCall &&
      moment - r.lastCall <= kLongestGap) {
    gap = moment - r.lastCall;
  }
  r = Room{moment, category, waitingAfter > 0};
  return gap;
}

void ExpectedWait::called(int room, int category, long long moment, int waitingAfter) {
  Category& c = categories_[static_cast<std::size_t>(category - 1)];
  if (const auto gap = roomGap(room, category, moment, waitingAfter)) {
    c.gaps.emplace_back(moment, *gap);
    if (c.gaps.size() > kGapsKept) c.gaps.pop_front();
  }
  c.calls.emplace_back(moment, waitingAfter > 0);
  if (c.calls.size() > kFewestGaps) c.calls.pop_front();
}

ExpectedWait ExpectedWait::of(const std::vector<TimedChange>& changes) {
  ExpectedWait pace;
  DayState running;
  for (const TimedChange& c : changes) pace.take(c, running);
  return pace;
}

void ExpectedWait::take(const TimedChange& change, DayState& running) {
  eachCall(change, running, [this](int room, int category, long long moment, int waitingAfter) {
    called(room, category, moment, waitingAfter);
  });
}

std::optional<int> ExpectedWait::minutes(int category, int waiting, int rooms, long long now) const {
  const Category& c = categories_[static_cast<std::size_t>(category - 1)];
  if (rooms <= 0) return std::nullopt;
  // A clock set back makes no call lie in the future.
  if (!c.calls.empty() && c.calls.back().first > now) return std::nullopt;
  double total = 0;
  int count = 0;
  for (const auto& [end, length] : c.gaps) {
    if (now - (end - length) > kWindowSeconds) continue;  // begun within the hour
    total += static_cast<double>(length);
    ++count;
  }
  const auto usual = usual_.at(category, static_cast<int>(((now % 86400) + 86400) % 86400 / 3600));
  double perPatient = 0;
  if (usual) {
    perPatient = (total + kUsualWeight * *usual) / (count + kUsualWeight);
  } else if (count >= static_cast<int>(kFewestGaps)) {
    perPatient = total / count;
  } else {
    // Nothing known of the pace: only rooms that keep up (their last calls
    // within the hour, nobody waiting after them) tell the shortest wait.
    const bool keepingUp = waiting == 0 && c.calls.size() >= kFewestGaps &&
                           now - c.calls.front().first <= kWindowSeconds &&
                           std::none_of(c.calls.begin(), c.calls.end(),
                                        [](const auto& call) { return call.second; });
    if (!keepingUp) return std::nullopt;
    return 5;
  }
  const double since =
      c.calls.empty() ? 0.0 : static_cast<double>(std::max(0LL, now - c.calls.back().first));
  const double between = perPatient / rooms;
  const double seconds = std::max(0.0, (waiting + 1) * between - std::min(since, between));
  const int rounded = static_cast<int>(std::lround(seconds / 60.0 / 5.0)) * 5;
  return std::max(rounded, 5);
}
