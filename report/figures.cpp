#include "figures.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace {

bool within(const std::string& day, const std::string& from, const std::string& to) {
  return (from.empty() || day >= from) && (to.empty() || day <= to);
}

double nearestRank(const std::vector<double>& sorted, double p) {
  const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

// "2026-12-07" and the hour of a moment.
std::pair<std::string, int> dayAndHour(long long moment) {
  return {dateOfMoment(moment), static_cast<int>(moment % 86400 / 3600)};
}

}  // namespace

Waits waitsOf(std::vector<double> minutes) {
  Waits w;
  if (minutes.empty()) return w;
  std::sort(minutes.begin(), minutes.end());
  w.count = static_cast<int>(minutes.size());
  // As a spreadsheet's MEDIAN: the middle value, or the mean of the two
  // middle values of an even count.
  const std::size_t middle = minutes.size() / 2;
  w.median = minutes.size() % 2 == 1 ? minutes[middle] : (minutes[middle - 1] + minutes[middle]) / 2.0;
  w.p90 = nearestRank(minutes, 0.9);
  w.longest = minutes.back();
  return w;
}

Figures figuresOf(const History& history, const std::string& from, const std::string& to) {
  Figures f;
  std::set<std::string> days;
  std::map<std::pair<std::string, int>, std::pair<CategoryDay, std::vector<double>>> byCategory;
  std::map<std::pair<std::string, int>, std::pair<HourRow, std::vector<double>>> byHour;
  for (const Patient& p : history.patients) {
    if (!within(p.day, from, to)) continue;
    days.insert(p.day);
    auto& [row, waits] = byCategory[{p.day, p.category}];
    row.day = p.day;
    row.category = p.category;
    ++row.issued;
    ++(p.wasCalled ? row.called : row.notCalled);
    const bool timed = p.issued != Patient::kUnknown && p.called != Patient::kUnknown;
    if (timed) waits.push_back(static_cast<double>(p.called - p.issued) / 60.0);
    if (p.issued != Patient::kUnknown) {
      const auto [day, hour] = dayAndHour(p.issued);
      auto& [hourRow, hourWaits] = byHour[{day, hour}];
      hourRow.day = day;
      hourRow.hour = hour;
      ++hourRow.arrivals;
      if (timed) hourWaits.push_back(static_cast<double>(p.called - p.issued) / 60.0);
    }
    if (p.called != Patient::kUnknown) {
      const auto [day, hour] = dayAndHour(p.called);
      auto& [hourRow, unused] = byHour[{day, hour}];
      hourRow.day = day;
      hourRow.hour = hour;
      ++hourRow.calls;
    }
  }
  std::map<std::pair<std::string, int>, RoomDay> byRoom;
  bool booths = false;
  for (const Patient& p : history.patients) {
    if (!within(p.day, from, to) || !p.wasCalled || p.room < 1) continue;
    RoomDay& row = byRoom[{p.day, p.room}];
    row.day = p.day;
    row.room = p.room;
    ++row.called;
    row.recalls += p.recalls;
    row.notMet += p.notMet ? 1 : 0;
    booths = booths || p.recalls > 0 || p.notMet;
  }
  if (booths) {
    for (auto& [key, row] : byRoom) f.rooms.push_back(row);
  }
  for (auto& [key, entry] : byCategory) {
    entry.first.waits = waitsOf(std::move(entry.second));
    f.categories.push_back(entry.first);
  }
  for (auto& [key, entry] : byHour) {
    entry.first.waits = waitsOf(std::move(entry.second));
    f.hours.push_back(entry.first);
  }
  for (const Shift& s : history.shifts) {
    if (!within(s.day, from, to)) continue;
    days.insert(s.day);
    ShiftRow row{s};
    if (s.ended) {
      const int start = s.start.hour * 60 + s.start.minute;
      const int end = s.end.hour * 60 + s.end.minute;
      // Across midnight when it ended on a later date; an end before the
      // start on the same date is a clock set back: no duration.
      const bool setBack = !s.endDay.empty() && (s.endDay < s.day || (s.endDay == s.day && end < start));
      row.minutes = setBack ? -1 : (end - start + 1440) % 1440;
      row.perHour = row.minutes > 0 ? s.samples * 60.0 / row.minutes : 0.0;
    }
    f.shifts.push_back(row);
  }
  f.days.assign(days.begin(), days.end());
  return f;
}
