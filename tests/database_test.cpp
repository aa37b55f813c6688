// The day in a real PostgreSQL the test starts itself: the server's own
// rules, two stations sharing one day, and a server that goes away.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <thread>

#include "desk_driver.hpp"
#include "pg_connection.hpp"
#include "pg_schema.hpp"
#include "pg_store.hpp"
#include "scratch_postgres.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;
constexpr CalendarDay kToday{2026, 12, 7};

class Database : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new ScratchPostgres(fs::temp_directory_path() / ("morvalis-pg-" + std::to_string(getpid())));
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!server_->whyNot().empty()) GTEST_SKIP() << server_->whyNot();
    // Each test its own day: the tables made afresh.
    std::string error;
    server_->sql("DROP SCHEMA IF EXISTS morvalis CASCADE", &error);
    PgConnection setup(server_->uri());
    ASSERT_EQ(createOrUpgradeSchema(setup), "");
  }
  static Change issued(int category, std::int32_t number) {
    Change c(ChangeKind::Issued, 0, category);
    c.number = number;
    return c;
  }
  static Change opened(int room, const char* name) {
    Change c(ChangeKind::Opened, room, 1);
    c.time = HourMinute{8, 30};
    c.name = name;
    return c;
  }
  static PgStore station(const std::string& name, const std::string& uri = server_->uri()) {
    return PgStore(uri, name, [] { return Moment(kToday, 8 * 3600); });
  }
  // Waits for the store's wake handle; true when it woke within `ms`.
  static bool woken(const PgStore& store, int ms) {
    pollfd p{static_cast<int>(store.wakeHandle()), POLLIN, 0};
    return ::poll(&p, 1, ms) == 1;
  }
  static ScratchPostgres* server_;
};
ScratchPostgres* Database::server_ = nullptr;

// What a client sends cannot break the day: rows straight through SQL.
TEST_F(Database, TheServerKeepsTheRulesWhateverAClientSends) {
  const auto insert = [](const std::string& line) {
    std::string error;
    server_->sql("INSERT INTO morvalis.changes (line, station) VALUES ('" + line + "', 'psql')", &error);
    return error;
  };
  const Moment at(kToday, 8 * 3600);
  const auto line = [&at](std::int64_t seq, const Change& c) {
    std::string text = journalLine(seq, at, c);
    return text.substr(0, text.size() - 2);
  };
  ASSERT_EQ(insert(line(1, issued(1, 1))), "");
  ASSERT_EQ(insert(line(2, opened(1, "Anna"))), "");
  EXPECT_NE(insert(line(3, issued(1, 1))).find("changes_issued_once"), std::string::npos) << "issued twice";
  EXPECT_NE(insert(line(3, opened(1, "Bo"))).find("holds a shift already"), std::string::npos);
  Change call(ChangeKind::Called, 1, 1);
  call.number = 1;
  ASSERT_EQ(insert(line(3, call)), "");
  EXPECT_NE(insert(line(4, call)).find("changes_called_once"), std::string::npos) << "called twice";
  call.room = 2;
  call.number = 5;
  EXPECT_NE(insert(line(4, call)).find("holds no shift"), std::string::npos);
  EXPECT_NE(insert(line(9, issued(2, 1))).find("does not follow"), std::string::npos) << "a gap";
  EXPECT_NE(insert(line(3, issued(2, 1))).find("changes_pkey"), std::string::npos) << "a number twice";
  EXPECT_NE(insert("4 2026-12-07 08:00:00 nummer voksen 2\r 00000000"), "") << "not a line";
  // Called again twice more at most; a number not met restated (room 0).
  Change recalled(ChangeKind::Recalled, 1, 1);
  recalled.number = 1;
  ASSERT_EQ(insert(line(4, recalled)), "");
  ASSERT_EQ(insert(line(5, recalled)), "");
  EXPECT_NE(insert(line(6, recalled)).find("called three times already"), std::string::npos);
  Change notMet(ChangeKind::NotMet, 0, 1);
  notMet.number = 1;
  EXPECT_EQ(insert(line(6, notMet)), "");

  // A second run changes nothing; a newer schema is refused, by the tool
  // and by a station.
  PgConnection again(server_->uri());
  EXPECT_EQ(createOrUpgradeSchema(again), "");
  server_->sql("UPDATE morvalis.schema_version SET version = 99");
  EXPECT_NE(createOrUpgradeSchema(again).find("newer than this morvalis knows"), std::string::npos);
  PgStore newer = station("a");
  EXPECT_EQ(newer.open().notices.at(1), "skemaet er nyere: opdater morvalis");
}

// Two stations on one day: the one that got there second hears it at once,
// takes in the first one's change and decides again; a station with only
// the rights the README gives (select, insert) can do all of it.
TEST_F(Database, TwoStationsShareOneDay) {
  std::string error;
  server_->sql("CREATE ROLE station LOGIN; GRANT USAGE ON SCHEMA morvalis TO station; "
               "GRANT SELECT, INSERT ON morvalis.changes TO station; "
               "GRANT SELECT ON morvalis.schema_version TO station",
               &error);
  ASSERT_EQ(error, "");
  PgStore a = station("a");
  PgStore b = station("b", server_->uri("station"));
  a.open();
  EXPECT_FALSE(b.open().resumed);
  // B's wake at its start taken first, or the one below would be that.
  for (int i = 0; i < 100 && !b.current(); ++i) std::this_thread::sleep_for(milliseconds(20));
  EXPECT_FALSE(b.hasNews());
  const auto same = [] { return DayState{}; };
  ASSERT_EQ(a.append(issued(1, 1), same), DayStore::Outcome::Kept);
  const auto committed = steady_clock::now();
  ASSERT_TRUE(woken(b, 1000));
  EXPECT_LT(steady_clock::now() - committed, milliseconds(100)) << "seen by the other station at once";
  // B decided on its old picture: the day moved on, and B hears of what.
  EXPECT_EQ(b.append(issued(1, 1), same), DayStore::Outcome::Stale);
  const auto news = b.news();
  ASSERT_TRUE(news.has_value());
  ASSERT_EQ(news->changes.size(), 2u) << "the day's first line, and the number";
  EXPECT_EQ(news->state.series[0].counter, 1);
  EXPECT_EQ(b.append(issued(1, 2), same), DayStore::Outcome::Kept);
  EXPECT_EQ(b.append(opened(3, "Bo"), same), DayStore::Outcome::Kept);
  // A has seen neither; its room 3 is taken meanwhile: refused by the rules
  // once A is caught up (the desk decides again and gives the error box).
  EXPECT_EQ(a.append(opened(3, "Anna"), same), DayStore::Outcome::Stale);
  EXPECT_EQ(a.news()->state.rooms[2]->name, "Bo");
  EXPECT_EQ(b.dayText(), a.dayText());
  EXPECT_EQ(replayJournal(a.dayText()).damage, Replay::Damage::None) << a.dayText();
  // A station set up with a role the server does not know says which.
  PgStore stranger = station("c", server_->uri("nobody"));
  stranger.open();
  EXPECT_EQ(stranger.warning(), "Ingen forbindelse til databasen: brugeren \"nobody\" findes ikke");
}

// libpq's messages (as this machine's libpq and server gave them) in the
// words row 23 has room for: the server's name for what is missing, each
// the same with or without libpq's account of where it asked.
TEST(DatabaseReasons, RowTwentyThreeSaysWhatIsWrongInItsWidth) {
  const std::pair<std::string, std::string> table[] = {
      {"FATAL:  role \"nobody\" does not exist\n", "brugeren \"nobody\" findes ikke"},
      {"FATAL:  database \"nodb\" does not exist\n", "databasen \"nodb\" findes ikke"},
      {"FATAL:  password authentication failed for user \"st\"\n", "forkert adgangskode for \"st\""},
      {"fe_sendauth: no password supplied\n", "ingen adgangskode i pgpass"},
      {"FATAL:  no pg_hba.conf entry for host \"127.0.0.1\", user \"m\", database \"m\", no encryption\n",
       "pg_hba.conf giver ikke adgang"},
      {"server does not support SSL, but SSL was required\n", "serveren har ikke TLS (sslmode)"},
      {"Connection refused\n\tIs the server running on that host and accepting TCP/IP connections?\n",
       "serveren koerer ikke"},
      {"connection to server on socket \"/tmp/.s.PGSQL.5498\" failed: No such file or directory\n",
       "serveren koerer ikke"},
      {"could not translate host name \"nohost.invalid\" to address: Name or service not known\n",
       "navnet findes ikke"},
      {"FATAL:  sorry, too many clients already\n", "serveren har ikke flere forbindelser"},
      {"FATAL:  the database system is shutting down\n", "serveren starter eller stopper"},
      {"FATAL:  terminating connection due to administrator command\n", "forbindelsen blev afbrudt"},
      {"server closed the connection unexpectedly\n\tThis probably means the server terminated abnormally\n",
       "forbindelsen blev afbrudt"},
      {"permission denied for schema morvalis", "adgang naegtet til schema morvalis"},
      {"", "forbindelsen blev afbrudt"},
  };
  for (const auto& [message, reason] : table) {
    EXPECT_EQ(pgReason(message), reason) << message;
    EXPECT_EQ(pgReason("connection to server at \"127.0.0.1\", port 5499 failed: " + message), reason) << message;
    EXPECT_LE(std::string("Ingen forbindelse til databasen: ").size() + reason.size(), 78u) << reason;
  }
}

// A station's listener reads back none of the station's own changes (a
// read per change and station for nothing), and still every other's.
TEST_F(Database, AStationsListenerReadsOnlyWhatOthersDid) {
  PgStore a = station("a"), b = station("b");
  a.open();
  b.open();
  for (int i = 0; i < 100 && !(a.current() && b.current()); ++i) std::this_thread::sleep_for(milliseconds(20));
  const auto same = [] { return DayState{}; };
  const long readsBefore = a.listenerReads();
  for (std::int32_t n = 1; n <= 5; ++n) {
    ASSERT_EQ(a.append(issued(1, n), same), DayStore::Outcome::Kept);
    while (b.seenSeq() < a.seenSeq()) {
      ASSERT_TRUE(b.hasNews() || woken(b, 1000));
      b.news();
    }
  }
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_LE(a.listenerReads() - readsBefore, 1) << "its own five changes read back (one ping allowed)";
  EXPECT_FALSE(a.hasNews()) << "nothing new to itself";
  ASSERT_EQ(b.append(issued(2, 1), same), DayStore::Outcome::Kept);
  while (!a.hasNews()) ASSERT_TRUE(woken(a, 1000));
  const auto news = a.news();
  ASSERT_TRUE(news.has_value());
  ASSERT_EQ(news->changes.size(), 1u);
  EXPECT_EQ(news->state.series[1].counter, 1);
  EXPECT_EQ(a.dayText(), b.dayText());
}

// Desks on one day: a room another desk took while this one looked at it
// gets the error box; F3 gives the next number whichever desk gave the
// last; and each desk's picture follows the other's.
TEST_F(Database, DesksDecideOnTheDayAsItStands) {
  WorkDirectory dir("database-desks");
  PgStore storeA = station("a"), storeB = station("b");
  DeskDriver a(FileSystem::real(), &storeA), b(FileSystem::real(), &storeB);
  a.desk.resume(storeA.open().state);
  b.desk.resume(storeB.open().state);
  a.arrive(1, 'v', "Anna").key(3).press({'v'}).runAndCrash();
  b.key(3).press({'v'}).runAndCrash();
  EXPECT_EQ(b.text(9, 39, 55), "Tildelt nummer: 2");
  b.arrive(1, 'b', "Bo").runAndCrash();
  EXPECT_EQ(b.text(20, 39, 60), a.text(20, 39, 60));
  EXPECT_EQ(b.text(13, 43, 75), "Programmet har udfoert en ulovlig") << "room 1 was taken";
  // A's picture catches up between keys: two waiting, and its F4 calls 1.
  a.key(4).press({'1'}).runAndCrash();
  EXPECT_EQ(a.desk.dayState().series[0].waiting, 1);
  EXPECT_EQ(a.desk.dayState().rooms[0]->lastCalled, 1);
  EXPECT_EQ(replayJournal(storeB.dayText()).state.series[0].counter, 2);
}

// The first patients of a day get the usual pace of the days before,
// read from the database as the journal's desk reads it from historik/;
// the display's store hears of it too.
TEST_F(Database, TheDaysBeforeGiveTheFirstPatientsTheirWait) {
  Moment at(CalendarDay{2026, 12, 4}, 8 * 3600);
  PgStore yesterday(server_->uri(), "a", [&at] { return at; });
  yesterday.open();
  DayState state;
  const auto keep = [&](const Change& change) {
    ASSERT_EQ(yesterday.append(change, [&state] { return state; }), DayStore::Outcome::Kept);
    applyChange(state, change);
  };
  keep(opened(1, "Anna"));
  for (int n = 1; n <= 8; ++n) keep(issued(1, n));
  for (int n = 1; n <= 8; ++n) {
    Change call(ChangeKind::Called, 1, 1);
    call.number = n;
    keep(call);
    at.second += 300;  // a patient every five minutes
  }
  const DayStore::Start today = station("b").open();
  const std::optional<int> wait = today.pace.minutes(1, 3, 1, momentOf("2026-12-07", 8 * 3600));
  ASSERT_TRUE(wait.has_value()) << "no wait for the day's first patients";
  // As the same day kept in historik/ gives it.
  ExpectedWait fromFiles;
  fromFiles.setUsual(ExpectedWait::usualOf({yesterday.dayText()}));
  EXPECT_EQ(wait, fromFiles.minutes(1, 3, 1, momentOf("2026-12-07", 8 * 3600)));
  PgStore display = station("tv");
  display.open();
  for (int i = 0; i < 100 && display.usual().gaps[0][8] == 0; ++i) std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(display.usual().gaps[0][8], 7);
}

// A desk open across midnight carries its day into the new date, as the
// journal does: the state from scratch as the new day's first rows, once,
// whichever station gets there first; the others take it up.
TEST_F(Database, MidnightCarriesTheOpenDayOver) {
  Moment at(kToday, 86399);
  const auto clock = [&at] { return at; };
  PgStore a(server_->uri(), "a", clock), b(server_->uri(), "b", clock);
  a.open();
  b.open();
  DayState state;
  for (const Change& change : {opened(2, "Anna"), issued(1, 1), issued(1, 2)}) {
    ASSERT_EQ(a.append(change, [&state] { return state; }), DayStore::Outcome::Kept);
    applyChange(state, change);
  }
  b.news();
  at = Moment(CalendarDay{2026, 12, 8}, 30);
  a.newDate(state);
  b.newDate(state);  // second: finds A's rows there
  EXPECT_EQ(server_->sql("SELECT count(*) FROM morvalis.changes WHERE day = '2026-12-08'"), "3")
      << "dag, the adults' series, room 2";
  std::optional<DayStore::News> news;
  for (int i = 0; i < 100 && !(news && news->state == state); ++i) {
    if (b.hasNews()) news = b.news();
    std::this_thread::sleep_for(milliseconds(20));
  }
  ASSERT_TRUE(news.has_value());
  EXPECT_EQ(news->state, state);
  PgStore c(server_->uri(), "c", clock);
  const DayStore::Start later = c.open();
  EXPECT_TRUE(later.resumed);
  EXPECT_EQ(later.state, state) << "a station started after midnight";
  Change third = issued(1, 3);
  EXPECT_EQ(a.append(third, [&state] { return state; }), DayStore::Outcome::Kept) << "the series goes on";
}

// A number a booth marked as not come: the desk's F4 calls it back into
// the room before the oldest waiting when the clinic chose so, once.
TEST_F(Database, TheDeskCallsANumberNotMetBackWhenTheClinicChoseSo) {
  WorkDirectory dir("database-not-met");
  PgStore storeA = station("a"), booth = station("booth");
  DeskDriver a(FileSystem::real(), &storeA, nullptr, {}, true);
  a.desk.resume(storeA.open().state);
  booth.open();
  a.arrive(1, 'v', "Anna").key(3).press({'v'}).key(3).press({'v'}).runAndCrash();
  Change called(ChangeKind::Called, 1, 1);
  called.number = 1;
  Change notMet(ChangeKind::NotMet, 1, 1);
  notMet.number = 1;
  const auto none = [] { return DayState{}; };
  ASSERT_EQ(booth.append(called, none), DayStore::Outcome::Stale);
  booth.news();
  ASSERT_EQ(booth.append(called, none), DayStore::Outcome::Kept);
  ASSERT_EQ(booth.append(notMet, none), DayStore::Outcome::Kept);
  // The desk's picture takes the booth's changes in between keys.
  for (int i = 0; i < 100 && a.desk.notMet(1).empty(); ++i) {
    a.desk.takeNews();
    std::this_thread::sleep_for(milliseconds(20));
  }
  a.key(4).press({'1'}).key(4).press({'1'}).runAndCrash();
  EXPECT_EQ(server_->sql("SELECT string_agg(kind || ' ' || number, ', ' ORDER BY seq) FROM morvalis.changes "
                         "WHERE kind IN ('kald', 'igen', 'ikkemoedt')"),
            "kald 1, ikkemoedt 1, igen 1, kald 2")
      << "called back first, then the oldest waiting";
  EXPECT_EQ(a.desk.dayState().series[0].waiting, 0);
  EXPECT_TRUE(a.desk.notMet(1).empty());
}

// A desk that ended inside F2 settles its own departure at its next start
// (done when its line is in its log, else the shift stays), never one
// another desk has begun.
TEST_F(Database, AStartSettlesOnlyItsOwnDepartures) {
  PgStore a = station("a"), b = station("b");
  a.open();
  b.open();
  const auto none = [] { return DayState{}; };
  ASSERT_EQ(a.append(opened(1, "Anna"), none), DayStore::Outcome::Kept);
  ASSERT_EQ(a.append(opened(2, "Bo"), none), DayStore::Outcome::Kept);
  Change leaving(ChangeKind::Leaving, 1);
  leaving.time = HourMinute{9, 0};
  ASSERT_EQ(a.append(leaving, none), DayStore::Outcome::Kept);
  leaving.room = 2;
  ASSERT_EQ(b.append(leaving, none), DayStore::Outcome::Stale);
  b.news();
  ASSERT_EQ(b.append(leaving, none), DayStore::Outcome::Kept);
  // A starts again: its log has room 1's line, so the desk let the room
  // go; room 2's departure is B's.
  PgStore again = station("a");
  DayState desk = again.open().state;
  desk.rooms[0].reset();
  desk.rooms[1]->leaving.reset();
  EXPECT_TRUE(again.begin(desk));
  EXPECT_EQ(server_->sql("SELECT string_agg(kind || ' ' || room, ', ' ORDER BY seq) FROM morvalis.changes "
                         "WHERE kind IN ('gaar', 'fri', 'bliver')"),
            "gaar 1, gaar 2, fri 1");
}

// The server killed and started again: appends say so within the limit,
// row 23's word follows, and the station reads what it missed. A restart
// the station slept through costs it nothing.
TEST_F(Database, AServerThatGoesAwayIsSaidAndFollowedBack) {
  PgStore a = station("a"), b = station("b");
  a.open();
  b.open();
  const auto same = [] { return DayState{}; };
  ASSERT_TRUE(server_->restart());
  ASSERT_EQ(a.append(issued(1, 1), same), DayStore::Outcome::Kept) << a.warning();
  server_->kill();
  // Its processes end a moment after the server: until then they may answer.
  for (int i = 0; i < 100 && b.warning().empty(); ++i) std::this_thread::sleep_for(milliseconds(50));
  EXPECT_NE(b.warning(), "") << "the listener noticed";
  const auto asked = steady_clock::now();
  EXPECT_EQ(a.append(issued(1, 2), same), DayStore::Outcome::Unavailable);
  EXPECT_LT(steady_clock::now() - asked, milliseconds(kStoreWaitMs + 500));
  EXPECT_EQ(a.warning().rfind("Ingen forbindelse til databasen: ", 0), 0u) << a.warning();
  // A station started meanwhile says so on row 23 alone (the panel's
  // notice stayed after the server was back), and takes the day up later.
  PgStore c = station("c");
  EXPECT_EQ(c.open().notices, std::vector<std::string>{});
  EXPECT_NE(c.warning(), "");
  ASSERT_TRUE(server_->start());
  // The title comes back once the server answers again, before A changes
  // anything (its own connection is made again at its next change).
  (void)a.hasNews();
  for (int i = 0; i < 100 && !a.warning().empty(); ++i) std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(a.warning(), "") << "A's lost connection still said with the server back";
  EXPECT_TRUE(woken(a, 0)) << "and the station woken to say so";
  EXPECT_EQ(a.append(issued(1, 2), same), DayStore::Outcome::Kept);
  EXPECT_EQ(a.warning(), "");
  // B may be back before A's append: it comes then as any change does.
  for (PgStore* other : {&b, &c}) {
    std::int32_t counter = 0;
    for (int i = 0; i < 100 && counter < 2; ++i) {
      if (other->hasNews()) counter = other->news()->state.series[0].counter;
      std::this_thread::sleep_for(milliseconds(50));
    }
    EXPECT_EQ(other->warning(), "");
    EXPECT_EQ(counter, 2) << "what it missed, read";
  }
}

}  // namespace
