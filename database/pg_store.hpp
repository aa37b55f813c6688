// PgStore: the day kept in PostgreSQL (see pg_schema.hpp), shared by every
// station that names the same database in its morvalis.conf.
//
// The day is today's date on the station's clock; its changes are the rows
// of that date in order. A station appends a change as the next row after
// the last one it has seen: the server's rules refuse it when another
// station got there first (Stale: the rows it missed are read at once and
// come through news()), and refuse a change that breaks a rule (Refused).
//
// Two connections: the key path's, used only to append (every append
// waits at most kStoreWaitMs, connecting again first when it was lost),
// and a listener on a thread of its own that LISTENs, reads every row
// other stations commit, and wakes the station (wakeHandle()); the rows
// the station kept itself it does not read back (a notification names the
// server process that sent it, and the writer hands its rows over). The
// listener asks the server every few seconds whether it is still there;
// a connection that fails or stalls is dropped and made again, and every
// row missed meanwhile is read before the station hears it is connected.
// While either connection is down, warning() says "Ingen forbindelse til
// databasen: <why>" (and the listener's connection is also the display's
// sign that what it shows may be old).
//
// The destructor stops the listener within 0.3 s; one still waiting on
// the server (or a host name's lookup) is left to end by itself.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "day_store.hpp"
#include "pg_connection.hpp"

class PgStore : public DayStore {
 public:
  // `station`: how this station is named in the rows (its host and folder).
  PgStore(std::string conninfo, std::string station, Now now);
  ~PgStore() override;

  // Connects, checks the schema and reads the day; a database that cannot
  // be reached is no reason not to start: row 23 says so while it lasts,
  // and the day comes in once the listener gets through. A schema newer
  // than this program's is in the notices too.
  Start open() override;
  bool begin(const DayState& state) override;
  Outcome append(const Change& change, const StateOf& stateAfter) override;
  std::optional<News> news() override;
  bool hasNews() override;
  void newDate(const DayState& state) override;
  void closeDay(const DayState& state) override;
  bool writable() const override { return true; }
  std::string warning() const override;
  bool shared() const override { return true; }
  Moment now() const override { return now_(); }
  std::intptr_t wakeHandle() const override;

  // The day as the station has it, and whether the listener is connected
  // and has read everything; the usual pace of the days before today, as
  // the listener last read it.
  std::string dayText() const override;
  bool current() const override;
  ExpectedWait::Usual usual() const override;
  std::int64_t seenSeq() const { return seq_; }
  // How often the listener has read rows (its own changes cost it none).
  long listenerReads() const;

  struct Shared;

 private:
  // Takes lines (seq and text) into the day: those that follow the last
  // one seen, in order.
  void absorb(const std::vector<std::pair<std::int64_t, std::string>>& lines,
              const std::vector<std::string>& stations);
  // Reads the rows after the last seen on the key path's connection.
  bool readMissed();
  // The key path's connection is lost: said until it is made again, or
  // until the listener is back from a problem it had after this.
  void writerLost();
  // Connects the key path's connection unless connected; the listener
  // learns who it is, so that its own notifications cost no read.
  bool connectWriter();
  // Rows `first` to `last`, just kept by this station: the listener's
  // cursor moves past them when it had read everything before.
  void handOver(std::int64_t first, std::int64_t last);
  // The day follows the station's date.
  void followDate();

  Now now_;
  std::string station_;
  PgConnection writer_;
  std::shared_ptr<Shared> shared_;
  std::string day_;  // the date whose rows are the day
  std::int64_t seq_ = 0;
  DayState state_;
  std::string text_;
  std::vector<TimedChange> pending_;
  std::string writerProblem_;
  std::uint64_t lostAt_ = 0;  // the listener's reads begun when the writer was lost
  bool dayTurned_ = false;  // a new date: the station takes its (empty) day
  std::array<std::string, DayState::kRooms> leavingBy_;  // the station of each begun departure
};

// A station's name for the rows: its host name and the folder's last part.
std::string stationName();

// The days kept in the database from `from` to `to` (dates; empty: no
// limit), each as its journal text, in date order. False, with `error`
// (English, for standard error), when the database cannot be read.
bool readStoredDays(const std::string& conninfo, const std::string& from, const std::string& to,
                    std::vector<StoredDay>& days, std::string& error);
