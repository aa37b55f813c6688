#include "journal_follower.hpp"

#include "journal_format.hpp"

namespace {
// Whether a folder's stamp tells the folder itself: its inode on POSIX; on
// Windows the stamp's creation time, which Wine gives as the time of its
// last change (a share there fails with an error instead of an empty folder).
#ifdef _WIN32
constexpr bool kFolderIdentity = false;
#else
constexpr bool kFolderIdentity = true;
#endif
}  // namespace

JournalFollower::JournalFollower(std::string folder, FileSystem& files, Today today)
    : folder_(std::move(folder)),
      path_(folder_ + "/" + kJournalFileName),
      files_(files),
      today_(std::move(today)) {}

JournalFollower::JournalFollower(DaySource source, std::function<ExpectedWait::Usual()> usual,
                                 std::string folder, FileSystem& files, Today today)
    : source_(std::move(source)),
      usualSource_(std::move(usual)),
      folder_(std::move(folder)),
      path_(folder_ + "/" + kJournalFileName),
      files_(files),
      today_(std::move(today)) {}

bool JournalFollower::pollSource() {
  newCalls_.clear();
  newCallsAgain_.clear();
  newCallMoments_.clear();
  const DayRead read = source_();
  if (!read.changed && polled_) {
    newCallRoom_ = 0;
    return false;
  }
  const Desk deskBefore = desk_;
  const DayState stateBefore = state_;
  const std::string problemBefore = problem_;
  takeText(read.text, read.problem);
  return desk_ != deskBefore || !(state_ == stateBefore) || problem_ != problemBefore;
}

void JournalFollower::take(Desk desk, const DayState& state, const std::string& problem) {
  newCallRoom_ = 0;
  const int room = state.newestCallRoom;
  if (polled_ && desk_ != Desk::Closed && room != 0) {
    const auto& before = state_.rooms[static_cast<std::size_t>(room - 1)];
    const auto& now = state.rooms[static_cast<std::size_t>(room - 1)];
    // A room's category's numbers only grow: a call changes its last number.
    if (now && (state_.newestCallRoom != room || !before || before->lastCalled != now->lastCalled ||
                before->calls != now->calls)) {
      newCallRoom_ = room;
    }
  }
  desk_ = desk;
  state_ = state;
  problem_ = problem;
  polled_ = true;
}

void JournalFollower::keepCallsOf(const JournalFollower& earlier) {
  newCalls_.insert(newCalls_.begin(), earlier.newCalls_.begin(), earlier.newCalls_.end());
  newCallsAgain_.insert(newCallsAgain_.begin(), earlier.newCallsAgain_.begin(), earlier.newCallsAgain_.end());
  newCallMoments_.insert(newCallMoments_.begin(), earlier.newCallMoments_.begin(), earlier.newCallMoments_.end());
  if (newCallRoom_ == 0) newCallRoom_ = earlier.newCallRoom_;
}

bool JournalFollower::poll() {
  if (source_) return pollSource();
  newCalls_.clear();
  newCallsAgain_.clear();
  newCallMoments_.clear();
  const Desk deskBefore = desk_;
  const DayState stateBefore = state_;
  const std::string problemBefore = problem_;
  // The stamp of the file opened for the moment, not of its name: a share's
  // client may answer for the name from a cache for seconds.
  FileStamp now;
  const auto file = files_.openRead(path_);
  const bool stamped = file != FileSystem::kNoFile && files_.stampOf(file, now);
  if (file != FileSystem::kNoFile) files_.close(file);
  if (!stamped) {
    stamp_ = FileStamp{};
    const bool missing = files_.wasMissing();
    const std::string reason = files_.reason();
    FileStamp folder;
    if (!files_.stamp(folder_, folder) || !folder.folder) {
      take(Desk::Unreadable, DayState{},
           files_.wasMissing() || folder.size >= 0 ? "Mappen " + folder_ + " findes ikke"
                                                   : "Mappen kan ikke laeses: " + files_.reason());
    } else if (missing && kFolderIdentity && folderIdentity_ != 0 && folder.identity != folderIdentity_) {
      // Not the folder the journal was in: a share unmounted under the
      // display leaves the empty folder it was mounted on.
      take(Desk::Unreadable, DayState{}, "Mappen kan ikke laeses: den delte mappe er vaek");
    } else if (missing) {
      take(Desk::Closed, DayState{}, "");
    } else {
      take(Desk::Unreadable, state_, "Journalen kan ikke laeses: " + reason);
    }
  } else if (now == stamp_ && polled_) {
    newCallRoom_ = 0;
    return false;
  } else {
    std::string text, error;
    const ReadOutcome read = readWholeFile(files_, path_, text, error);
    if (read == ReadOutcome::Missing) {
      stamp_ = FileStamp{};
      take(Desk::Closed, DayState{}, "");
    } else if (read == ReadOutcome::Failed) {
      stamp_ = FileStamp{};  // read again next time
      take(Desk::Unreadable, state_, "Journalen kan ikke laeses: " + files_.reason());
    } else {
      stamp_ = now;
      FileStamp folder;
      if (files_.stamp(folder_, folder)) folderIdentity_ = folder.identity;
      takeText(text, "");
    }
  }
  return desk_ != deskBefore || !(state_ == stateBefore) || problem_ != problemBefore;
}

void JournalFollower::takeText(const std::string& text, const std::string& problem) {
  std::vector<TimedChange> changes;
  const Replay replay = replayJournal(text, &changes);
  expectedWait_ = ExpectedWait::of(changes);
  // The usual pace of the days before, read once a day.
  const std::string today = dateText(today_());
  if (usualSource_) {
    usual_ = usualSource_();
  } else if (usualDay_ != today) {
    usual_ = ExpectedWait::readUsual(files_, folder_, today);
    usualDay_ = today;
  }
  expectedWait_.setUsual(usual_);
  // Every call since the last read, also several that came together;
  // a journal begun anew (a new day) counts from its start.
  const std::int64_t firstSeq = replay.lastSeq - static_cast<std::int64_t>(changes.size()) + 1;
  if (replay.lastSeq < seenSeq_) seenSeq_ = 0;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const Change& c = changes[i].change;
    if (polled_ && (c.kind == ChangeKind::Called || c.kind == ChangeKind::Recalled) &&
        firstSeq + static_cast<std::int64_t>(i) > seenSeq_) {
      newCalls_.emplace_back(c.room, c.number);
      newCallsAgain_.push_back(c.kind == ChangeKind::Recalled);
      newCallMoments_.push_back(changes[i].second == kUnknownSecond
                                    ? -1
                                    : momentOf(changes[i].date, changes[i].second));
    }
  }
  if (!changes.empty() && changes.back().second != kUnknownSecond) {
    newestMoment_ = momentOf(changes.back().date, changes.back().second);
  }
  seenSeq_ = replay.lastSeq;
  // A line the desk is still writing is a torn end, not damage.
  if (!problem.empty()) {
    take(Desk::Unreadable, replay.state, problem);  // shown as far as it was read
  } else if (text.empty()) {
    take(Desk::Closed, DayState{}, "");  // nothing yet today
  } else if (replay.damage == Replay::Damage::Damaged) {
    take(Desk::Unreadable, replay.state,
         "Journalen er skadet efter linje " + std::to_string(replay.goodLines));
  } else if (replay.ended || (replay.goodLines > 0 && replay.day < dateText(today_()))) {
    take(Desk::Closed, DayState{}, "");  // ended with ESC, or left from an earlier day
  } else {
    take(Desk::Open, replay.state, "");
  }
}
