// DayStore: where a station keeps the day's changes. Two stores keep the
// same sequence of changes, each written as the journal's line (see
// journal_format.hpp): the journal file in the desk's folder (one desk,
// the default) and a PostgreSQL table that several stations share.
//
// A station works on its own picture of the day and asks the store to
// append a change to it. The append holds only when the day is still as
// the station last saw it; when another station changed the day meanwhile
// the append is Stale, nothing is kept, and news() gives the changes the
// station missed, so it can catch up and decide again. A journal file has
// one writer, so its appends are never stale and its news() is empty.
//
// Nothing here waits longer than about 2 s (kStoreWaitMs): a store that
// cannot be reached makes the append Unavailable, and warning() says why
// on row 23 until it is reached again.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "day_state.hpp"
#include "expected_wait.hpp"
#include "journal_format.hpp"

// The longest a station waits on its store, in milliseconds.
inline constexpr int kStoreWaitMs = 2000;

class DayStore {
 public:
  using StateOf = std::function<DayState()>;
  using Now = std::function<Moment()>;

  struct Start {
    bool resumed = false;
    DayState state;                    // what to start from
    std::vector<std::string> notices;  // lines for the dialog panel, 41 cells at most
    ExpectedWait pace;                 // of the calls taken up
  };
  enum class Outcome {
    Kept,         // the change is part of the day
    Stale,        // the day moved on: read news() and decide again
    Refused,      // the store's own rules do not allow it
    Unavailable,  // the store could not be reached; see warning()
  };

  virtual ~DayStore() = default;

  // Takes up the day as the store has it.
  virtual Start open() = 0;
  // The station starts from `state` (what open() gave, or less: a shift
  // already logged); false when it could not be kept.
  virtual bool begin(const DayState& state) = 0;
  // Appends a change already decided; `stateAfter` is the whole state with
  // it, for a store that has to be mended first.
  virtual Outcome append(const Change& change, const StateOf& stateAfter) = 0;
  struct News {
    std::vector<TimedChange> changes;  // in order
    DayState state;                    // the day with them
  };
  // The changes other stations made since this one last read or appended;
  // nullopt when there are none (or the store is unreachable).
  virtual std::optional<News> news() { return std::nullopt; }
  // Cheap: whether news() may have something (a wake-up from the store).
  virtual bool hasNews() { return false; }
  // Called now and then from the key loop: a new date is kept as such.
  virtual void newDate(const DayState& state) = 0;
  // The station ends (ESC).
  virtual void closeDay(const DayState& state) = 0;

  // Whether changes are kept at all right now; when not, the station's
  // row 23 says so.
  virtual bool writable() const = 0;
  // Row 23's word when all is kept but something is wrong; empty otherwise.
  virtual std::string warning() const = 0;
  // Whether other stations may change the day too.
  virtual bool shared() const { return false; }
  // What a station that only reads follows (the display, a booth's
  // picture): the day's lines as the journal has them (CR LF each),
  // whether they are current (the store reached and read to its last
  // change), and the usual pace of the days before (empty until known).
  virtual std::string dayText() const = 0;
  virtual bool current() const { return true; }
  virtual ExpectedWait::Usual usual() const { return {}; }
  // A handle that wakes a key wait when news come (see Console::wakeOn);
  // -1: none, look at hasNews() now and then.
  virtual std::intptr_t wakeHandle() const { return -1; }
  // The station's clock, as the lines are dated.
  virtual Moment now() const = 0;
};

// One day as a store kept it, for the report: its lines as the journal has
// them, and what each station did that day (station, numbers given, calls
// made; a journal file's one desk is not named).
struct StoredDay {
  std::string day;
  std::string text;
  std::vector<std::tuple<std::string, int, int>> stations;
};

// A station's change of the day: `decide` makes it from `state` (nullopt:
// it cannot be made), the store keeps it, and `state` takes it. A day that
// moved on meanwhile is taken into `state` (and its changes handed to
// `news`) and `decide` asked again. The change kept, or nullopt: `decide`
// said no, or the store would not keep it (its warning() says why).
using Decision = std::function<std::optional<Change>(const DayState&)>;
std::optional<Change> keepChange(DayStore& store, DayState& state, const Decision& decide,
                                 const std::function<void(const DayStore::News&)>& news = {});
