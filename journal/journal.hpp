// Journal: the desk's journal of the day, "journal.txt" in the working
// directory, so that the day's queues and open shifts survive an end the
// operator did not choose (a closed window, a kill, a crash, a power cut).
//
// takeLock() takes the folder's lock ("morvalis.lock": one desk per folder;
// in a folder where no lock can be made the desk runs without). open()
// reads the journal. A journal from today is resumed as far as its lines
// are good: a torn last line is dropped without a word; damage before the
// last line sets the file aside as journal-<date>-skadet.txt and says so. A
// journal whose last line is from an earlier day is not resumed: it is set
// aside as journal-<that day>.txt and that is said. rewrite() then makes
// the journal the state the desk starts from, in one atomic step, which
// also keeps it short.
//
// record() appends one change's line and has it on disk before it returns.
// A journal that cannot be written is never a reason to stop: record()
// reports it through writable(), and every later record() first tries to
// rewrite the journal whole from the desk's state, which mends it. closeDay()
// (ESC) removes the journal, so the next start begins a new day. A journal
// that could not be read, or could not be set aside, is never written over
// and never removed; every rewrite tries setting it aside again.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "append_file.hpp"
#include "console_types.hpp"
#include "day_state.hpp"
#include "file_lock.hpp"
#include "file_system.hpp"
#include "journal_format.hpp"

class Journal {
 public:
  static constexpr const char* kFileName = "journal.txt";
  static constexpr const char* kScratchName = "journal.tmp";
  static constexpr const char* kLockName = "morvalis.lock";

  using Today = std::function<CalendarDate()>;
  using StateOf = std::function<DayState()>;

  Journal(FileSystem& files, Today today);

  // False when another desk holds the folder.
  bool takeLock();

  struct Start {
    bool resumed = false;
    DayState state;                    // what to start from
    std::vector<std::string> notices;  // lines for the dialog panel, 41 cells at most
  };
  Start open();

  // The journal becomes `state` from now on; false when it cannot be written.
  bool rewrite(const DayState& state);
  // Records a change already made in memory; `stateAfter` gives the whole
  // state with it, for a journal that has to be mended first.
  void record(const Change& change, const StateOf& stateAfter);
  // The day ends: the journal goes.
  void closeDay();

  bool writable() const { return writable_; }
  const std::string& error() const { return error_; }

 private:
  std::string keepAside(const std::string& stem, std::string& notice);
  // Whether journal.txt may be written over: never while it holds what
  // could not be read or set aside (a rewrite tries setting it aside again).
  bool clearTheWay();

  FileSystem& files_;
  Today today_;
  std::unique_ptr<FileLock> lock_;
  AppendFile file_;
  std::int64_t nextSeq_ = 1;
  bool writable_ = false;
  std::string pendingAside_;  // the stem it still has to be set aside under
  bool unreadable_ = false;   // journal.txt could not be read at the start
  std::string error_;
};
