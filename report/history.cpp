#include "history.hpp"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <tuple>

namespace {

// One file's changes in order, kept as patients and shifts.
class Reader {
 public:
  explicit Reader(History& history) : history_(history) {}

  void take(const TimedChange& timed) {
    const Change& c = timed.change;
    const long long at =
        timed.second == kUnknownSecond ? Patient::kUnknown : momentOf(timed.date, timed.second);
    if (restating_ && c.kind != ChangeKind::Series && c.kind != ChangeKind::Room) settle();
    switch (c.kind) {
      case ChangeKind::Day:
        // The state follows; a shift it no longer has ended meanwhile.
        restating_ = true;
        restated_ = {};
        break;
      case ChangeKind::Series:
        break;
      case ChangeKind::Room:
        restated_[static_cast<std::size_t>(c.room - 1)] = true;
        if (!open_[static_cast<std::size_t>(c.room - 1)]) {
          open(timed.date, c);
          history_.shifts[*open_[static_cast<std::size_t>(c.room - 1)]].samples = c.number;
        }
        break;
      case ChangeKind::Issued:
        numbers_[{c.category, c.number}] = history_.patients.size();
        history_.patients.push_back(Patient{timed.date, c.category, c.number, at,
                                            Patient::kUnknown, false, 0});
        break;
      case ChangeKind::Called: {
        const auto found = numbers_.find({c.category, c.number});
        if (found != numbers_.end()) {
          Patient& p = history_.patients[found->second];
          p.wasCalled = true;
          p.called = p.issued == Patient::kUnknown ? Patient::kUnknown : at;
          if (p.called != Patient::kUnknown && p.called < p.issued) {
            p.called = Patient::kUnknown;  // the clock was set back between
            ++setBack_;
          }
          p.room = c.room;
        }
        if (const auto& shift = open_[static_cast<std::size_t>(c.room - 1)]) {
          ++history_.shifts[*shift].samples;
        }
        break;
      }
      case ChangeKind::Opened:
        open(timed.date, c);
        break;
      case ChangeKind::Leaving:
        leaving_[static_cast<std::size_t>(c.room - 1)] = c.time;
        leavingDay_[static_cast<std::size_t>(c.room - 1)] = timed.date;
        break;
      case ChangeKind::Left:
        close(c.room);
        break;
      case ChangeKind::Stays:
        leaving_[static_cast<std::size_t>(c.room - 1)].reset();
        break;
      case ChangeKind::Recalled:
      case ChangeKind::NotMet: {
        // Room 0: a number marked before, restated with the state.
        const auto found = numbers_.find({c.category, c.number});
        if (found == numbers_.end() || (c.kind == ChangeKind::NotMet && c.room == 0)) break;
        Patient& p = history_.patients[found->second];
        if (c.kind == ChangeKind::Recalled) {
          ++p.recalls;
        } else {
          p.notMet = true;
        }
        break;
      }
      case ChangeKind::End:
        break;
    }
  }

  // The calls left without a wait since the clock stood before their number.
  int finish() {
    if (restating_) settle();
    return setBack_;
  }

 private:
  void open(const std::string& date, const Change& c) {
    open_[static_cast<std::size_t>(c.room - 1)] = history_.shifts.size();
    leaving_[static_cast<std::size_t>(c.room - 1)].reset();
    Shift shift;
    shift.day = date;
    shift.room = c.room;
    shift.category = c.category;
    shift.name = c.name;
    shift.start = c.time;
    history_.shifts.push_back(shift);
  }
  void close(int room) {
    auto& shift = open_[static_cast<std::size_t>(room - 1)];
    auto& end = leaving_[static_cast<std::size_t>(room - 1)];
    if (shift && end) {
      history_.shifts[*shift].ended = true;
      history_.shifts[*shift].end = *end;
      history_.shifts[*shift].endDay = leavingDay_[static_cast<std::size_t>(room - 1)];
    }
    shift.reset();
    end.reset();
  }
  // After a restated state: a shift it left out was logged by a departure
  // the run before ended inside of.
  void settle() {
    restating_ = false;
    for (int room = 1; room <= DayState::kRooms; ++room) {
      if (!restated_[static_cast<std::size_t>(room - 1)]) close(room);
    }
  }

  History& history_;
  std::map<std::pair<int, std::int32_t>, std::size_t> numbers_;
  std::array<std::optional<std::size_t>, DayState::kRooms> open_{};
  std::array<std::optional<HourMinute>, DayState::kRooms> leaving_{};
  std::array<std::string, DayState::kRooms> leavingDay_{};
  std::array<bool, DayState::kRooms> restated_{};
  bool restating_ = false;
  int setBack_ = 0;
};

}  // namespace

void addJournal(History& history, const std::string& file, std::string_view text) {
  Reader reader(history);
  const Replay replay = replayJournal(text, [&reader](TimedChange&& change) { reader.take(change); });
  const int setBack = reader.finish();
  history.files.push_back(file);
  if (replay.damage == Replay::Damage::Damaged) {
    history.problems.push_back(HistoryProblem{
        file, replay.goodLines + 1, "skadet; de hele linjer før og efter er talt med"});
  }
  if (setBack > 0) {
    history.problems.push_back(HistoryProblem{
        file, 0, "uret blev stillet tilbage; " + std::to_string(setBack) +
                     (setBack == 1 ? " ventetid er udeladt" : " ventetider er udeladt")});
  }
}

namespace {

// The days of one date in the order the desk named them: DATE, DATE-2, ...
// DATE-10 (not as text, where -10 comes before -2).
std::pair<std::string, int> dayOrder(const std::string& name) {
  const std::string day = name.substr(0, std::min<std::size_t>(10, name.size()));
  const std::string rest = name.size() > 14 ? name.substr(10, name.size() - 14) : std::string();
  if (!isDateText(day) || (!rest.empty() && (rest[0] != '-' || rest.size() > 7 ||
                                             rest.find_first_not_of("0123456789", 1) != std::string::npos ||
                                             rest.size() == 1))) {
    return {name, 0};
  }
  return {day, rest.empty() ? 1 : std::stoi(rest.substr(1))};
}

}  // namespace

bool readHistory(const std::string& folder, History& history, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code failed;
  if (!fs::is_directory(fs::path(folder), failed)) {
    error = "not a directory: " + folder;
    return false;
  }
  // (order, path, the name the report gives it)
  std::vector<std::tuple<std::pair<std::string, int>, std::string, std::string>> files;
  const fs::path days = fs::path(folder) / kHistoryFolderName;
  if (fs::exists(days, failed) || failed != std::errc::no_such_file_or_directory) {
    failed.clear();
    fs::directory_iterator it(days, failed);
    if (failed) {
      error = "cannot read " + days.string() + ": " + failed.message();
      return false;
    }
    for (const fs::directory_iterator end; !failed && it != end; it.increment(failed)) {
      const std::string name = it->path().filename().string();
      if (name.size() > 4 && name.ends_with(".txt")) {
        files.emplace_back(dayOrder(name), (days / name).string(), std::string(kHistoryFolderName) + "/" + name);
      }
    }
    if (failed) {
      error = "cannot read " + days.string() + ": " + failed.message();
      return false;
    }
  }
  // Days that waited beside the journal because historik/ could not take them.
  const std::string waiting = std::string(kHistoryFolderName) + "-";
  for (const std::string& name : FileSystem::real().namesIn(folder)) {
    if (name.rfind(waiting, 0) == 0 && name.ends_with(".txt")) {
      files.emplace_back(dayOrder(name.substr(waiting.size())), (fs::path(folder) / name).string(), name);
    }
  }
  std::sort(files.begin(), files.end());
  files.emplace_back(std::pair<std::string, int>{}, (fs::path(folder) / kJournalFileName).string(),
                     kJournalFileName);
  for (const auto& [order, path, shown] : files) {
    std::string text, why;
    const ReadOutcome read = readWholeFile(FileSystem::real(), path, text, why);
    if (read == ReadOutcome::Missing) continue;
    if (read == ReadOutcome::Failed) {
      error = why;
      return false;
    }
    addJournal(history, shown, text);
  }
  return true;
}
