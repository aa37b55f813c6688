#include "pg_store.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "pg_schema.hpp"
#include "wake_signal.hpp"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace {

// How often an idle listener asks whether the server is still there: a
// connection that stalls is noticed within this and kStoreWaitMs.
constexpr int kPingMs = 3000;
// Between attempts to connect again.
constexpr int kRetryMs = 1000;
// The listener looks at its stop flag at least this often.
constexpr int kStopLookMs = 200;

constexpr const char* kReadSince =
    "SELECT seq, line, station FROM morvalis.changes WHERE day = $1 AND seq > $2 ORDER BY seq";
constexpr const char* kInsertOne = "INSERT INTO morvalis.changes (line, station) VALUES ($1, $2)";
constexpr const char* kInsert =
    "INSERT INTO morvalis.changes (line, station) "
    "SELECT l, $2 FROM unnest($1::text[]) WITH ORDINALITY AS t(l, n) ORDER BY n";

constexpr const char* kDaysBefore =
    "SELECT string_agg(line || E'\\r\\n', '' ORDER BY seq) FROM morvalis.changes "
    "WHERE day IN (SELECT DISTINCT day FROM morvalis.changes WHERE day < $1 ORDER BY day DESC LIMIT $2) "
    "GROUP BY day ORDER BY day";

using Rows = std::vector<std::pair<std::int64_t, std::string>>;

// The usual pace from the last days before `today`; nullopt when they
// could not be read.
std::optional<ExpectedWait::Usual> usualBefore(PgConnection& connection, const std::string& today) {
  const auto result = connection.query(kDaysBefore, {today, std::to_string(ExpectedWait::kUsualDays)},
                                       kStoreWaitMs * 3);
  if (!result.ok) return std::nullopt;
  std::vector<std::string> days;
  for (const auto& row : result.rows) {
    if (!row.empty() && row[0]) days.push_back(*row[0]);
  }
  return ExpectedWait::usualOf(days);
}

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

// Lines as a PostgreSQL array literal of text.
std::string arrayOf(const std::string& lines) {
  std::string out = "{";
  std::size_t at = 0;
  while (at < lines.size()) {
    const auto end = lines.find('\n', at);
    const std::string line = withoutLineEnd(lines.substr(at, end == std::string::npos ? end : end - at));
    at = end == std::string::npos ? lines.size() : end + 1;
    if (line.empty()) continue;
    if (out.size() > 1) out += ',';
    out += '"';
    for (const char c : line) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  return out + "}";
}

bool rowsOf(const PgConnection::Result& result, Rows& rows, std::vector<std::string>* stations) {
  for (const auto& row : result.rows) {
    if (row.size() < 3 || !row[0] || !row[1]) return false;
    rows.emplace_back(std::stoll(*row[0]), *row[1]);
    if (stations) stations->push_back(row[2].value_or(""));
  }
  return true;
}

}  // namespace

struct PgStore::Shared {
  std::string conninfo;
  std::mutex mutex;
  std::condition_variable ended;
  bool finished = false;
  std::string day;          // the date the listener reads
  std::int64_t cursor = 0;  // the last row it read of that day
  std::int64_t kept = 0;    // the last row the station's own writer kept of it
  std::atomic<int> writerBackend{0};  // the server's process of that writer
  std::uint64_t begun = 0;    // reads begun
  std::uint64_t rejoined = 0;  // the read (of those) that last ended a problem
  Rows lines;               // read and not yet taken
  std::vector<std::string> stations;  // who wrote each of them
  bool connected = false;   // connected and everything read
  std::string reason;       // why not
  std::string usualFor;     // the day `usual` was read for
  ExpectedWait::Usual usual;
  std::atomic<bool> stop{false};
  std::atomic<bool> waiting{false};  // the listener waits for news, not on the server
  std::atomic<bool> dayMoved{false};
  WakeSignal wake;

  void wakeStation() { wake.signal(); }
  // Whether the writer kept rows the listener has not read.
  bool behind() {
    std::lock_guard<std::mutex> lock(mutex);
    return cursor < kept;
  }
  void setProblem(const std::string& why) {
    std::lock_guard<std::mutex> lock(mutex);
    const bool changed = connected || reason != why;
    connected = false;
    reason = why;
    if (changed) wakeStation();
  }
  // Waits `ms` unless stopped; false when stopped.
  bool pause(int ms) {
    const long long until = pgSteadyMs() + ms;
    while (!stop && pgSteadyMs() < until) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !stop;
  }
  // The usual pace of the days before the one followed, once a day.
  void readUsual(PgConnection& connection) {
    std::string today;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (usualFor == day) return;
      today = day;
    }
    const auto read = usualBefore(connection, today);
    if (!read) return;
    std::lock_guard<std::mutex> lock(mutex);
    usual = *read;
    usualFor = today;
  }
  // Reads the rows after the cursor; false when the connection failed.
  bool read(PgConnection& connection) {
    std::string readDay;
    std::int64_t from = 0;
    std::uint64_t began = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      readDay = day;
      from = cursor;
      began = ++begun;
      dayMoved = false;
    }
    const auto result = connection.query(kReadSince, {readDay, std::to_string(from)}, kStoreWaitMs);
    Rows rows;
    std::vector<std::string> by;
    if (!result.ok || !rowsOf(result, rows, &by)) {
      setProblem(result.state.empty() ? connection.reason() : pgReason(result.message));
      if (!result.state.empty()) connection.drop();
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (!connected) rejoined = began;
    if (day != readDay) return true;  // moved on meanwhile: read again
    const bool news = !rows.empty() || !connected;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].first <= cursor) continue;  // the writer's own, handed over meanwhile
      cursor = rows[i].first;
      lines.push_back(std::move(rows[i]));
      stations.push_back(std::move(by[i]));
    }
    connected = true;
    reason.clear();
    if (news) wakeStation();
    return true;
  }
};

namespace {

void listen(const std::shared_ptr<PgStore::Shared>& shared) {
  PgConnection connection(shared->conninfo, "morvalis-listener");
  long long nextPing = 0;
  while (!shared->stop) {
    if (!connection.connected()) {
      if (!connection.connect(kStoreWaitMs) ||
          !connection.query(std::string("LISTEN ") + kPgChannel, {}, kStoreWaitMs).ok) {
        shared->setProblem(connection.reason().empty() ? "LISTEN afvist" : connection.reason());
        connection.drop();
        if (!shared->pause(kRetryMs)) break;
        continue;
      }
      // Everything missed is read before the station hears it is back.
      if (!shared->read(connection)) continue;
      nextPing = pgSteadyMs() + kPingMs;
    }
    shared->readUsual(connection);
    bool readNow = shared->dayMoved.load();
    shared->waiting = true;
#ifdef _WIN32
    WSAPOLLFD p{static_cast<SOCKET>(connection.socket()), POLLRDNORM, 0};
    const int ready = WSAPoll(&p, 1, kStopLookMs);
#else
    pollfd p{connection.socket(), POLLIN, 0};
    const int ready = ::poll(&p, 1, kStopLookMs);
#endif
    shared->waiting = false;
    if (ready > 0) {
      // The station's own changes are in its day already: read what
      // others did, or what the writer could not hand over.
      const PgConnection::Notified notified = connection.take(shared->writerBackend);
      readNow = notified.others || (notified.any && shared->behind()) || readNow;
      if (!connection.connected()) {
        shared->setProblem(connection.reason());
        continue;
      }
    }
    if (readNow || pgSteadyMs() >= nextPing) {
      // The read is the ping: a server that stalls does not answer it.
      if (shared->read(connection)) nextPing = pgSteadyMs() + kPingMs;
    }
  }
  std::lock_guard<std::mutex> lock(shared->mutex);
  shared->finished = true;
  shared->ended.notify_all();
}

}  // namespace

std::string stationName() {
  char host[256] = "";
#ifdef _WIN32
  const char* name = std::getenv("COMPUTERNAME");
  if (name) std::snprintf(host, sizeof host, "%s", name);
#else
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
#endif
  std::error_code error;
  const std::string folder = std::filesystem::current_path(error).filename().string();
  return std::string(host) + ":" + folder;
}

PgStore::PgStore(std::string conninfo, std::string station, Now now)
    : now_(std::move(now)),
      station_(std::move(station)),
      writer_(conninfo, "morvalis"),
      shared_(std::make_shared<Shared>()) {
  shared_->conninfo = std::move(conninfo);
  shared_->reason = "forbinder";
}

PgStore::~PgStore() {
  shared_->stop = true;
  std::unique_lock<std::mutex> lock(shared_->mutex);
  const bool started = !day_.empty();
  // A listener waiting for news sees the stop within kStopLookMs; one
  // waiting on the server is given a moment, which a server that answers
  // needs, and is otherwise left to end by itself (within its own limit),
  // keeping what it shares (its wake signal too): the end never waits for
  // a server that hangs.
  if (started) {
    const int ms = shared_->waiting ? kStopLookMs + 100 : 100;
    shared_->ended.wait_for(lock, std::chrono::milliseconds(ms), [this] { return shared_->finished; });
  }
}

std::intptr_t PgStore::wakeHandle() const {
  return shared_->wake.handle();
}

void PgStore::followDate() {
  const std::string today = dateText(now_().day);
  if (today == day_) return;
  const bool first = day_.empty();
  day_ = today;
  seq_ = 0;
  state_ = DayState{};
  text_.clear();
  pending_.clear();
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->day = today;
    shared_->cursor = 0;
    shared_->kept = 0;
    shared_->lines.clear();
    shared_->stations.clear();
  }
  leavingBy_ = {};
  shared_->dayMoved = true;
  if (first) {
    std::thread([shared = shared_] { listen(shared); }).detach();
  }
}

void PgStore::absorb(const Rows& lines, const std::vector<std::string>& stations) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto& [seq, line] = lines[i];
    if (seq <= seq_) continue;
    if (seq != seq_ + 1) break;  // the rest comes with the next read
    TimedChange change;
    std::int64_t lineSeq = 0;
    if (!parseJournalLine(line, lineSeq, change.date, change.second, change.change)) {
      // Not a line this program can read (written by a newer one): the day
      // goes on without it rather than stopping at it.
      writerProblem_ = "linje " + std::to_string(seq) + " kan ikke laeses";
    } else {
      applyChange(state_, change.change);
      if (change.change.kind == ChangeKind::Leaving && i < stations.size()) {
        leavingBy_[static_cast<std::size_t>(change.change.room - 1)] = stations[i];
      }
      pending_.push_back(std::move(change));
    }
    text_ += line;
    text_ += "\r\n";
    seq_ = seq;
  }
}

void PgStore::writerLost() {
  writerProblem_ = writer_.reason();
  std::lock_guard<std::mutex> lock(shared_->mutex);
  lostAt_ = shared_->begun;
}

bool PgStore::connectWriter() {
  if (!writer_.connect(kStoreWaitMs)) return false;
  shared_->writerBackend = writer_.backendPid();
  return true;
}

void PgStore::handOver(std::int64_t first, std::int64_t last) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (shared_->day != day_) return;
  shared_->kept = last;
  if (shared_->cursor == first - 1) shared_->cursor = last;
}

long PgStore::listenerReads() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return static_cast<long>(shared_->begun);
}

bool PgStore::readMissed() {
  const auto result = writer_.query(kReadSince, {day_, std::to_string(seq_)}, kStoreWaitMs);
  Rows rows;
  std::vector<std::string> stations;
  if (!result.ok || !rowsOf(result, rows, &stations)) {
    if (result.state.empty()) {
      writerLost();
    } else {
      writerProblem_ = pgReason(result.message);
    }
    return false;
  }
  absorb(rows, stations);
  return true;
}

DayStore::Start PgStore::open() {
  followDate();
  Start start;
  // A server out of reach is row 23's to say, which follows it back; the
  // panel keeps only what stays true (a schema this program cannot use).
  if (!connectWriter()) {
    writerLost();
    return start;
  }
  const std::string schema = schemaProblem(writer_);
  if (!schema.empty()) {
    writerProblem_ = schema;
    start.notices.push_back("Ingen forbindelse til databasen:");
    start.notices.push_back(schema.substr(0, 41));
    return start;
  }
  if (!readMissed()) return start;
  writerProblem_.clear();
  start.resumed = seq_ > 0;
  start.state = state_;
  start.pace = ExpectedWait::of(pending_);
  // The first patients' wait from the same hours of the days before.
  if (const auto usual = usualBefore(writer_, day_)) start.pace.setUsual(*usual);
  pending_.clear();
  return start;
}

bool PgStore::begin(const DayState& state) {
  // The day is its rows: nothing to write, unless the start settled a
  // departure this desk had begun: done (its line is in the log) or not.
  // Another station's stays begun until that station settles it.
  bool kept = true;
  for (int room = 1; room <= DayState::kRooms; ++room) {
    const auto r = static_cast<std::size_t>(room - 1);
    if (!state_.rooms[r] || !state_.rooms[r]->leaving || leavingBy_[r] != station_) continue;
    if (state.rooms[r] && state.rooms[r]->leaving) continue;
    const Change settled(state.rooms[r] ? ChangeKind::Stays : ChangeKind::Left, room);
    kept = append(settled, [&state] { return state; }) == Outcome::Kept && kept;
  }
  return kept;
}

DayStore::Outcome PgStore::append(const Change& change, const StateOf&) {
  followDate();
  if (!connectWriter()) {
    writerLost();
    return Outcome::Unavailable;
  }
  // A day begins as a journal does, with its "dag" line, so a day's rows
  // read as a journal.
  const Moment at = now_();
  std::string lines = seq_ == 0 ? journalLine(1, at, Change(ChangeKind::Day)) : std::string();
  lines += journalLine(seq_ + (seq_ == 0 ? 2 : 1), at, change);
  // One line (all but a day's first) without the array's detour.
  const auto result = seq_ == 0 ? writer_.query(kInsert, {arrayOf(lines), station_}, kStoreWaitMs)
                                : writer_.query(kInsertOne, {withoutLineEnd(lines), station_}, kStoreWaitMs);
  if (result.ok) {
    writerProblem_.clear();
    applyChange(state_, change);
    text_ += lines;
    const std::int64_t first = seq_ + 1;
    seq_ += seq_ == 0 ? 2 : 1;
    handOver(first, seq_);
    return Outcome::Kept;
  }
  if (result.state.empty()) {
    writerLost();
    return Outcome::Unavailable;
  }
  const bool taken = result.state == kPgStale ||
                     (result.state == "23505" && result.message.find("changes_pkey") != std::string::npos);
  if (taken) {
    if (!readMissed()) return Outcome::Unavailable;
    writerProblem_.clear();
    return Outcome::Stale;
  }
  if (result.state == kPgBroken || result.state == "23505") {
    writerProblem_.clear();
    return Outcome::Refused;
  }
  writerProblem_ = pgReason(result.message);
  return Outcome::Unavailable;
}

std::optional<DayStore::News> PgStore::news() {
  followDate();
  Rows taken;
  std::vector<std::string> stations;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    taken.swap(shared_->lines);
    stations.swap(shared_->stations);
  }
  absorb(taken, stations);
  if (pending_.empty() && !dayTurned_) return std::nullopt;
  dayTurned_ = false;
  News news{std::move(pending_), state_};
  pending_.clear();
  return news;
}

bool PgStore::hasNews() {
  shared_->wake.drain();
  if (!pending_.empty() || dayTurned_ || dateText(now_().day) != day_) return true;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return !shared_->lines.empty();
}

void PgStore::newDate(const DayState& state) {
  if (dateText(now_().day) == day_) return;
  followDate();
  dayTurned_ = true;
  // A desk open across midnight carries its day over, as the journal
  // does: the state from scratch as the new date's first rows, unless
  // another station wrote them first.
  if (state == DayState{} || !connectWriter()) return;
  const std::string lines = snapshotLines(1, now_(), state);
  const auto result = writer_.query(kInsert, {arrayOf(lines), station_}, kStoreWaitMs);
  if (!result.ok) {
    readMissed();
    return;
  }
  state_ = state;
  for (std::size_t at = 0; at < lines.size(); at = lines.find('\n', at) + 1) ++seq_;
  text_ = lines;
  handOver(1, seq_);
}

void PgStore::closeDay(const DayState&) {
  // One station ending ends nothing: the day is the clinic's.
}

std::string PgStore::warning() const {
  std::string why = writerProblem_;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    // A lost writer connects again at its next change: once the listener
    // is back from a problem after that, so is the server, and row 23
    // says so at once.
    if (!why.empty() && !writer_.connected() && shared_->rejoined > lostAt_) why.clear();
    if (why.empty() && !shared_->connected) why = shared_->reason;
  }
  if (why.empty()) return "";
  std::string text = "Ingen forbindelse til databasen: " + why;
  if (text.size() > 78) text.resize(78);
  return text;
}

std::string PgStore::dayText() const {
  return text_;
}

ExpectedWait::Usual PgStore::usual() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->usual;
}

bool PgStore::current() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->connected;
}

bool readStoredDays(const std::string& conninfo, const std::string& from, const std::string& to,
                    std::vector<StoredDay>& days, std::string& error) {
  PgConnection connection(conninfo, "morvalis-rapport");
  if (!connection.connect(kStoreWaitMs)) {
    error = "cannot connect to the database: " + connection.reason();
    return false;
  }
  const std::string schema = schemaProblem(connection);
  if (!schema.empty()) {
    error = "the database cannot be read: " + schema;
    return false;
  }
  // A year of days is a few megabytes: one answer, with time for it.
  const auto result = connection.query(
      "SELECT day, string_agg(line || E'\\r\\n', '' ORDER BY seq) FROM morvalis.changes "
      "WHERE ($1 = '' OR day >= $1) AND ($2 = '' OR day <= $2) GROUP BY day ORDER BY day",
      {from, to}, kStoreWaitMs * 15);
  if (!result.ok) {
    error = "cannot read the days: " + (result.message.empty() ? connection.reason() : result.message);
    return false;
  }
  for (const auto& row : result.rows) {
    if (row.size() == 2 && row[0] && row[1]) days.push_back(StoredDay{*row[0], *row[1], {}});
  }
  const auto stations = connection.query(
      "SELECT day, station, count(*) FILTER (WHERE kind = 'nummer'), count(*) FILTER (WHERE kind = 'kald') "
      "FROM morvalis.changes WHERE ($1 = '' OR day >= $1) AND ($2 = '' OR day <= $2) "
      "GROUP BY day, station HAVING count(*) FILTER (WHERE kind IN ('nummer', 'kald')) > 0 "
      "ORDER BY day, station",
      {from, to}, kStoreWaitMs * 15);
  if (!stations.ok) {
    error = "cannot read the stations: " + (stations.message.empty() ? connection.reason() : stations.message);
    return false;
  }
  for (const auto& row : stations.rows) {
    if (row.size() != 4 || !row[0] || !row[1] || !row[2] || !row[3]) continue;
    for (StoredDay& day : days) {
      if (day.day == *row[0]) day.stations.emplace_back(*row[1], std::stoi(*row[2]), std::stoi(*row[3]));
    }
  }
  return true;
}
