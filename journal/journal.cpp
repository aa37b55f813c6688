#include "journal.hpp"

#include "file_replacement.hpp"

Journal::Journal(FileSystem& files, Now now)
    : files_(files), now_(std::move(now)), file_(files) {}

std::string Journal::keepAside(const std::string& stem, std::string& notice, const std::string& from) {
  const std::string folder = folderOf(stem);
  if (folder != "." && !files_.makeFolder(folder)) {
    notice = "kan ikke gemmes: " + files_.reason();
    return {};
  }
  std::string name;
  for (int n = 1; n < 1000; ++n) {
    name = stem;
    if (n > 1) name.append("-").append(std::to_string(n));
    name.append(".txt");
    const auto probe = files_.openRead(name);
    if (probe != FileSystem::kNoFile) {
      files_.close(probe);
    } else if (files_.wasMissing()) {
      break;
    }
  }
  if (!files_.replace(from, name)) {
    notice = "kan ikke gemmes: " + files_.reason();
    return {};
  }
  files_.flushFolder(folder);
  files_.flushFolder(".");
  notice = "gemt i " + name;
  return name;
}

bool Journal::takeLock() {
  lock_ = std::make_unique<FileLock>(kLockName, files_);
  return lock_->state() != FileLock::State::Busy;
}

std::string Journal::keepEndedDay(const std::string& day, std::string& notice) {
  const std::string history = std::string(kHistoryFolder) + "/" + day;
  std::string name = keepAside(history, notice);
  if (!name.empty() || files_.wasMissing()) return name;
  // historik/ cannot take it (a file of that name, no rights): the day
  // waits beside the journal under a name of its own, so the new day has
  // its journal; a later start moves it.
  historyReason_ = files_.reason();
  name = keepAside(kWaitingDayPrefix + day, notice);
  if (!name.empty()) historyWarning_ = "Advarsel: historik kan ikke skrives - dagen er i " + name;
  return name;
}

void Journal::moveWaitingDays() {
  for (const std::string& name : files_.namesIn(".")) {
    if (name.rfind(kWaitingDayPrefix, 0) != 0 || name.size() < 4 || !name.ends_with(".txt")) continue;
    const std::string day = name.substr(std::string(kWaitingDayPrefix).size(), 10);
    if (!isDateText(day)) continue;
    std::string notice;
    if (keepAside(std::string(kHistoryFolder) + "/" + day, notice, name).empty()) {
      historyWarning_ = "Advarsel: historik kan ikke skrives - dagen er i " + name;
    }
  }
}

Journal::Start Journal::open() {
  Start start;
  moveWaitingDays();
  // The pace of the same hours on the days before, for the day's first
  // patients.
  const ExpectedWait::Usual usual = ExpectedWait::readUsual(files_, ".", dateText(now_().day));
  start.pace.setUsual(usual);
  std::string text, error;
  const ReadOutcome read = readWholeFile(files_, kFileName, text, error);
  if (read == ReadOutcome::Failed) {
    error_ = error;
    unreadable_ = true;
    start.notices.push_back("Journal kan ikke laeses");
    return start;
  }
  if (text.empty()) return start;

  // The pace as the lines come: a long day's changes are not kept.
  ExpectedWait pace;
  DayState running;
  const Replay replay =
      replayJournal(text, [&pace, &running](TimedChange&& change) { pace.take(change, running); });
  std::string aside;
  // A day ended with ESC whose journal could not be moved then is over: it
  // goes to the history now.
  if (replay.ended && replay.damage == Replay::Damage::None) {
    if (keepEndedDay(replay.firstDay, aside).empty()) pendingAside_ = std::string(kHistoryFolder) + "/" + replay.firstDay;
    return start;
  }
  const std::string today = dateText(now_().day);
  if (replay.goodLines > 0 && replay.day < today) {
    // Left from an earlier day (switched off without ESC): a new day begins.
    start.notices.push_back("Journal fra " + replay.day + " lagt til side:");
    if (keepEndedDay(replay.firstDay, aside).empty()) pendingAside_ = std::string(kHistoryFolder) + "/" + replay.firstDay;
    const int open = replay.state.roomsOpen();
    if (open > 0) aside += ", " + std::to_string(open) + (open == 1 ? " vagt" : " vagter");
    start.notices.push_back(aside);
    return start;
  }
  if (replay.damage == Replay::Damage::Damaged) {
    start.notices.push_back("Journal skadet efter linje " + std::to_string(replay.goodLines) + ",");
    if (keepAside("journal-" + today + "-skadet", aside).empty()) {
      pendingAside_ = "journal-" + today + "-skadet";
    }
    start.notices.push_back(aside);
  }
  if (replay.goodLines + replay.laterLines == 0 || replay.ended) return start;
  if (replay.day > today) {
    // Taken up all the same: numbers handed out twice would be worse.
    start.notices.push_back("Journal fra " + replay.day + " er efter i dag,");
    start.notices.push_back("taget op; uret kan vaere stillet tilbage");
  }
  start.resumed = true;
  start.state = replay.state;
  start.pace = pace;
  start.pace.setUsual(usual);
  nextSeq_ = replay.lastSeq + 1;
  written_ = text.substr(0, replay.goodBytes);
  if (replay.bareLineEnds) {
    // Read as the lines it has; written again with the journal's own ends.
    std::string lines;
    for (std::size_t at = 0; at < written_.size();) {
      const auto lf = written_.find('\n', at);
      const std::size_t end = lf == std::string::npos ? written_.size() : lf;
      lines.append(written_, at, end - at - (end > at && written_[end - 1] == '\r' ? 1 : 0));
      lines += "\r\n";
      at = end + 1;
    }
    written_ = std::move(lines);
  }
  // A journal good to its last byte gets the state appended, not written
  // again: a start on a long day is as quick as one append.
  appendAtStart_ = replay.damage == Replay::Damage::None && !replay.bareLineEnds &&
                   replay.goodBytes == text.size();
  return start;
}

bool Journal::clearTheWay() {
  if (!pendingAside_.empty()) {
    std::string notice;
    if (keepAside(pendingAside_, notice).empty() && !files_.wasMissing()) {
      error_ = "cannot set the old journal aside: " + files_.reason();
      return false;
    }
    pendingAside_.clear();
  }
  if (unreadable_) {
    std::string text, error;
    if (readWholeFile(files_, kFileName, text, error) == ReadOutcome::Failed) {
      error_ = error;
      return false;
    }
    unreadable_ = false;
  }
  return true;
}

bool Journal::rewrite(const DayState& state) {
  if (appendAtStart_) {
    appendAtStart_ = false;
    const Moment now = now_();
    writable_ = file_.open(kFileName);
    if (writable_ && append(snapshotLines(nextSeq_, now, state), now.day)) return true;
  }
  file_.close();
  if (!clearTheWay()) {
    writable_ = false;
    return false;
  }
  FileReplacement replacement(files_, FileReplacement::Turn::OwnFolder);
  const Moment now = now_();
  const std::string lines = snapshotLines(nextSeq_, now, state);
  writable_ = replacement.begin(kFileName, kScratchName) && replacement.write(written_) &&
              replacement.write(lines) && replacement.commit();
  if (!writable_) {
    error_ = replacement.error();
    return false;
  }
  for (const char c : lines) nextSeq_ += c == '\n' ? 1 : 0;
  written_ += lines;
  writtenDate_ = dateText(now.day);
  writable_ = file_.open(kFileName);
  if (!writable_) error_ = file_.error();
  return writable_;
}

bool Journal::append(const std::string& lines, const CalendarDay& day) {
  // A journal removed or renamed under the desk would take the lines
  // with it: they go to a new journal.txt, whole.
  if (!writable_ || !file_.stillNamed()) return writable_ = false;
  if (!file_.append(lines)) {
    error_ = file_.error();
    return writable_ = false;
  }
  for (const char c : lines) nextSeq_ += c == '\n' ? 1 : 0;
  written_ += lines;
  writtenDate_ = dateText(day);
  return true;
}

void Journal::record(const Change& change, const StateOf& stateAfter) {
  const Moment now = now_();
  if (append(journalLine(nextSeq_, now, change), now.day)) return;
  // Part of the line may have reached the file: only a whole rewrite
  // makes it a journal again.
  rewrite(stateAfter());
}

void Journal::newDate(const DayState& state) {
  // A journal that cannot be written gets the new date with its mending.
  const Moment now = now_();
  if (writable_ && dateText(now.day) != writtenDate_ &&
      !append(snapshotLines(nextSeq_, now, state), now.day)) {
    rewrite(state);
  }
}

void Journal::closeDay(const DayState& state) {
  // Not ours to end or move: it holds what could not be read or set aside.
  if (!pendingAside_.empty() || unreadable_) {
    file_.close();
    return;
  }
  // The day's end goes first, so that a journal that cannot be moved is
  // not taken up again. A journal gone or replaced under the desk is
  // written whole first, as before any other line.
  const Moment now = now_();
  const auto end = [&] { return journalLine(nextSeq_, now, Change(ChangeKind::End)); };
  bool ended = append(end(), now.day);
  if (!ended && rewrite(state)) ended = append(end(), now.day);
  file_.close();
  // The history names a day by the date it began ("<seq> <date> ...").
  const auto blank = written_.find(' ');
  const std::string day =
      blank == std::string::npos ? dateText(now.day) : written_.substr(blank + 1, 10);
  std::string notice;
  const std::string kept = keepEndedDay(day, notice);
  if (kept.empty() && !files_.wasMissing()) {
    closeProblem_ = "cannot move " + std::string(kFileName) + " to " + kHistoryFolder + " (" +
                    files_.reason() + "); " +
                    (ended ? "it says the day is over, so the next start begins a new day and "
                             "moves it then"
                           : "the next start will take this day up again");
  } else if (kept.rfind(kWaitingDayPrefix, 0) == 0) {
    closeProblem_ = "cannot move " + std::string(kFileName) + " to " + kHistoryFolder + " (" +
                    historyReason_ + "); the day is kept as " + kept +
                    " beside it, and a later start moves it there";
  }
}
