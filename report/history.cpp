#include "history.hpp"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <optional>

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
        break;
      case ChangeKind::Left:
        close(c.room);
        break;
      case ChangeKind::Stays:
        leaving_[static_cast<std::size_t>(c.room - 1)].reset();
        break;
      case ChangeKind::End:
        break;
    }
  }

  void finish() {
    if (restating_) settle();
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
  std::array<bool, DayState::kRooms> restated_{};
  bool restating_ = false;
};

}  // namespace

void addJournal(History& history, const std::string& file, std::string_view text) {
  std::vector<TimedChange> changes;
  const Replay replay = replayJournal(text, &changes);
  Reader reader(history);
  for (const TimedChange& change : changes) reader.take(change);
  reader.finish();
  history.files.push_back(file);
  if (replay.damage == Replay::Damage::Damaged) {
    history.problems.push_back(
        HistoryProblem{file, replay.goodLines + 1, "skadet; talt med til og med linje " +
                                                       std::to_string(replay.goodLines)});
  }
}

bool readHistory(const std::string& folder, History& history, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code failed;
  if (!fs::is_directory(fs::path(folder), failed)) {
    error = "not a directory: " + folder;
    return false;
  }
  std::vector<std::string> names;
  const fs::path days = fs::path(folder) / kHistoryFolderName;
  for (fs::directory_iterator it(days, failed), end; !failed && it != end; it.increment(failed)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 4 && name.ends_with(".txt")) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& name : names) {
    files.emplace_back((days / name).string(), std::string(kHistoryFolderName) + "/" + name);
  }
  files.emplace_back((fs::path(folder) / kJournalFileName).string(), kJournalFileName);
  for (const auto& [path, shown] : files) {
    std::string text, why;
    const ReadOutcome read = readWholeFile(FileSystem::real(), path, text, why);
    if (read == ReadOutcome::Missing) continue;
    if (read == ReadOutcome::Failed) {
      history.problems.push_back(HistoryProblem{shown, 0, "kan ikke laeses: " + why});
      continue;
    }
    addJournal(history, shown, text);
  }
  return true;
}
