// Journal: the desk's journal of the day, "journal.txt" in the working
// directory, so that the day's queues and open shifts survive an end the
// operator did not choose (a closed window, a kill, a crash, a power cut),
// and so the day's every change, with its time, is kept for the report.
//
// takeLock() takes the folder's lock ("morvalis.lock": one desk per folder;
// in a folder where no lock can be made the desk runs without). Since that
// lock keeps every other desk out, the journal's own replacements never
// wait for the folder's turn (which F2 may be holding for data.txt).
//
// open() reads the journal. A journal from today (or, the clock set back,
// from a later day, which is said) is resumed from its good lines, also
// those after damage (see Replay: no number is issued twice): an append cut
// short at the end is dropped without a word; any other damage, also at
// the end and also before the first good line, sets the file aside as
// journal-<date>-skadet.txt and says so. A journal whose last
// line is from an earlier day is not resumed: it goes to the day's history
// (historik/<its first day>.txt) and that is said; so does a journal that
// ends with the day's end (ESC) but could not be moved then; where
// historik/ cannot take a day, it waits beside the journal as
// historik-<day>.txt (said on row 23 through historyWarning()) and a later
// start moves it. The first rewrite() then appends the state the desk
// starts from to a journal that was good to its last byte (quick on a
// long day), and otherwise writes the journal again in one atomic step:
// the good lines before any damage, followed by that state.
//
// record() appends one change's line and has it on disk before it returns.
// Before each append it makes sure the name journal.txt still points at
// the file it appends to; a journal removed or renamed under the desk is
// written whole again from what the desk wrote and its state (also at
// ESC, before the day's end is added). A journal
// that cannot be written is never a reason to stop: record() reports it
// through writable(), and every later record() first tries to rewrite the
// journal whole, which mends it. newDate() adds the state under a new date
// (the desk calls it at midnight), so a desk open across midnight is seen
// as open. closeDay() (ESC) writes the day's end, then moves the journal,
// whole, to historik/<day>.txt (another name, <day>-2.txt ..., when that
// day has one already), so the next start begins a new day and the day is
// kept. A journal that could not be read, or could not be set aside, is
// never written over and never removed; every rewrite tries setting it
// aside again.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "append_file.hpp"
#include "day_state.hpp"
#include "day_store.hpp"
#include "expected_wait.hpp"
#include "file_lock.hpp"
#include "file_system.hpp"
#include "journal_format.hpp"

class Journal : public DayStore {
 public:
  static constexpr const char* kFileName = kJournalFileName;
  static constexpr const char* kScratchName = "journal.tmp";
  static constexpr const char* kLockName = "morvalis.lock";
  static constexpr const char* kHistoryFolder = kHistoryFolderName;
  static constexpr const char* kWaitingDayPrefix = "historik-";

  Journal(FileSystem& files, Now now);

  // False when another desk holds the folder.
  bool takeLock();

  Start open() override;

  // The journal becomes what it holds of the day, then `state` from now
  // on; false when it cannot be written.
  bool rewrite(const DayState& state);
  bool begin(const DayState& state) override { return rewrite(state); }
  // Records a change already made in memory; `stateAfter` gives the whole
  // state with it, for a journal that has to be mended first.
  void record(const Change& change, const StateOf& stateAfter);
  // The journal has one writer: a change is always kept (in memory, and on
  // disk while writable()).
  Outcome append(const Change& change, const StateOf& stateAfter) override {
    record(change, stateAfter);
    return Outcome::Kept;
  }
  // Today's date, when it is no longer the date the journal was last
  // written under: the whole state again, under the new date.
  void newDate(const DayState& state) override;
  // The day ends: the journal goes to the history. A journal gone or
  // replaced under the desk is first written whole again from what the
  // desk wrote and `state`.
  void closeDay(const DayState& state) override;
  // Why closeDay() could not move the journal, in one English sentence
  // for standard error, saying what the next start will do; empty when it
  // could.
  const std::string& closeProblem() const { return closeProblem_; }

  // Row 23's word while an ended day waits beside the journal because
  // historik/ cannot take it; empty otherwise.
  const std::string& historyWarning() const { return historyWarning_; }

  std::string warning() const override { return historyWarning_; }
  // The journal as it stands on disk (the desk's own day is always current).
  std::string dayText() const override { return written_; }
  bool writable() const override { return writable_; }
  Moment now() const override { return now_(); }
  const std::string& error() const { return error_; }

 private:
  // journal.txt under the first free name of stem.txt, stem-2.txt, ...;
  // the name, or empty (with the reason in `notice`).
  std::string keepAside(const std::string& stem, std::string& notice,
                        const std::string& from = kFileName);
  // An ended day to historik/<day>.txt, or where that cannot be, beside the
  // journal as historik-<day>.txt; the name, or empty.
  std::string keepEndedDay(const std::string& day, std::string& notice);
  // Days left beside the journal by an earlier run go to historik/ now.
  void moveWaitingDays();
  // Appends lines; false (and not writable) when they did not all get there.
  bool append(const std::string& lines, const CalendarDay& day);
  // Whether journal.txt may be written over: never while it holds what
  // could not be read or set aside (a rewrite tries setting it aside again).
  bool clearTheWay();

  FileSystem& files_;
  Now now_;
  std::unique_ptr<FileLock> lock_;
  AppendFile file_;
  std::int64_t nextSeq_ = 1;
  std::string writtenDate_;  // the date of the journal's last line
  std::string written_;      // the journal as it stands on disk, whole lines
  bool writable_ = false;
  std::string pendingAside_;  // the stem it still has to be set aside under
  bool unreadable_ = false;   // journal.txt could not be read at the start
  std::string error_;
  std::string closeProblem_;
  bool appendAtStart_ = false;  // the journal read was good to its end
  std::string historyWarning_;
  std::string historyReason_;
};
