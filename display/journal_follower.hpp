// JournalFollower: the desk's journal as the waiting room's display reads
// it, never writing, never locking, and opening the file only for the
// moment of one read.
//
// poll() looks at the journal's stamp (size, time, identity) and reads it
// again only when the stamp changed. Only whole, checked lines count: a
// line the desk is still writing is read on a later poll, when the stamp
// has changed again. The desk is Closed when there is no journal, its last
// line ends the day, or is from an earlier day than today; Unreadable when
// the journal cannot be read or is damaged, or the folder is not the one
// the journal was read in (a share unmounted under the display), with the
// reason in problem() and the state as far as it could be read.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>
#include <string>

#include "day_state.hpp"
#include "expected_wait.hpp"
#include "file_system.hpp"

class JournalFollower {
 public:
  enum class Desk { Closed, Open, Unreadable };
  using Today = std::function<CalendarDay()>;
  // A day kept elsewhere (a database): its lines as a journal has them,
  // whether they changed since the last read, and why they may not be
  // current (empty: they are).
  struct DayRead {
    bool changed = false;
    std::string text;
    std::string problem;
  };
  using DaySource = std::function<DayRead()>;

  JournalFollower(std::string folder, FileSystem& files, Today today);
  // Follows `source` instead of the folder's journal (historik/ in the
  // folder still gives the usual pace).
  // `usual` gives the usual pace of the days before (from where the day
  // is kept), asked at every read.
  JournalFollower(DaySource source, std::function<ExpectedWait::Usual()> usual, std::string folder,
                  FileSystem& files, Today today);

  // True when what the display shows changed.
  bool poll();

  Desk desk() const { return desk_; }
  const DayState& state() const { return state_; }
  const std::string& problem() const { return problem_; }
  // The calls of the journal as read, for the expected waits.
  const ExpectedWait& expectedWait() const { return expectedWait_; }
  const Today& today() const { return today_; }
  // The room of a call that the latest poll found new (0: none). The
  // first poll finds none: the calls before the display started are old.
  int newCallRoom() const { return newCallRoom_; }
  // Every call the latest poll found new (room, number), in order: also
  // several that came between two polls.
  const std::vector<std::pair<int, std::int32_t>>& newCalls() const { return newCalls_; }
  // Whether each was a call again (a booth's F6), in the same order.
  const std::vector<bool>& newCallsAgain() const { return newCallsAgain_; }
  // Their moments by the desk's clock (see momentOf), in the same order.
  const std::vector<long long>& newCallMoments() const { return newCallMoments_; }
  // The moment of the journal's newest line by the desk's clock; -1 before
  // one was read. Its age when it was read is near zero when the read was
  // woken by the desk's write.
  long long newestMoment() const { return newestMoment_; }
  // Takes in the new calls of an earlier read that no one took yet, as
  // if this read had found them too (they came before this read's).
  void keepCallsOf(const JournalFollower& earlier);

 private:
  void take(Desk desk, const DayState& state, const std::string& problem);
  // The day's text read: its state, the calls new since the last read.
  void takeText(const std::string& text, const std::string& problem);
  bool pollSource();

  DaySource source_;
  std::function<ExpectedWait::Usual()> usualSource_;
  std::string folder_;
  std::string path_;
  FileSystem& files_;
  Today today_;
  FileStamp stamp_;
  bool polled_ = false;
  Desk desk_ = Desk::Closed;
  DayState state_;
  std::string problem_;
  int newCallRoom_ = 0;
  std::vector<std::pair<int, std::int32_t>> newCalls_;
  std::vector<bool> newCallsAgain_;
  std::vector<long long> newCallMoments_;
  long long newestMoment_ = -1;
  long long folderIdentity_ = 0;  // the folder the journal was last read in
  std::int64_t seenSeq_ = 0;  // the last line read
  ExpectedWait expectedWait_;
  ExpectedWait::Usual usual_;
  std::string usualDay_;  // the day usual_ was read for
};
