// Two desks and a display, as the programs they are, on one day in the
// test's own PostgreSQL: each sees the others' changes, a room another
// desk took gets the error box, and a server killed and started again is
// said on row 23, refuses nothing silently, and is followed back.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "clinic_driver.hpp"
#include "escpos_reader.hpp"
#include "fake_printer.hpp"
#include "journal_format.hpp"
#include "memory_console.hpp"
#include "pty_program.hpp"
#include "waiting_room_view.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

// Numbers of each category issued 1, 2, 3, ... each once, and each called
// (first) at most once: into one room, so no two rooms have one patient.
void expectNumbersOnceEach(const ScratchPostgres& server) {
  for (const char* word : {"voksen", "barn"}) {
    EXPECT_EQ(server.sql(std::string("SELECT count(*) = coalesce(max(number), 0) AND count(DISTINCT number) = count(*) "
                                     "FROM morvalis.changes WHERE kind = 'nummer' AND category = '") + word + "'"),
              "t")
        << "every " << word << " number issued once, none skipped";
  }
  EXPECT_EQ(server.sql("SELECT count(*) FROM (SELECT 1 FROM morvalis.changes WHERE kind = 'kald' "
                       "GROUP BY category, number HAVING count(*) > 1) twice"),
            "0")
      << "a number called (first) once";
}

TEST(DatabaseProcess, TwoDesksAndADisplayShareOneDay) {
  ClinicDriver clinic("database-process");
  if (!clinic.whyNot().empty()) GTEST_SKIP() << clinic.whyNot();
  for (const char* folder : {"a", "b", "tv"}) clinic.folder(folder);
  std::string made;
  ASSERT_TRUE(clinic.createSchema("a", ClinicDriver::Build::Linux, &made)) << made;

  TmuxPane& a = clinic.desk("a");
  TmuxPane& b = clinic.desk("b");
  PtyProgram display({MORVALIS_DISPLAY_BINARY, "--quiet"}, (clinic.path() / "tv").string(), {});
  a.waitForText("Ventende: 0 - 0");
  b.waitForText("Ventende: 0 - 0");
  a.sendKeys("F1 1 v A n n a Enter F3 v");
  a.waitForText("Tildelt nummer: 1");
  const auto issued = steady_clock::now();
  b.waitForText("Ventende: 1 - 0");
  std::printf("another desk's F3 on this desk's screen after %.0f ms (tmux's polling included)\n",
              duration<double, std::milli>(steady_clock::now() - issued).count());
  b.sendKeys("F3 v");
  b.waitForText("Tildelt nummer: 2");
  a.waitForText("Ventende: 2 - 0");
  b.sendKeys("F4 1");
  char called[64];
  std::snprintf(called, sizeof called, "Rum 1 %9d   voksen", 1);
  EXPECT_TRUE(display.waitFor([&](const VtModel& m) { return screenContains(m, called); }))
      << "the display shows the call another desk made";
  a.waitForText("Ventende: 1 - 0");
  // B's picture showed room 1 taken all along; A takes room 2 while B is
  // asked for it: B's F1 into it is refused, as a taken room is.
  b.sendKeys("F1 2 b");
  a.sendKeys("F1 2 v B o Enter F5 2");
  a.waitForText("Bo");
  b.sendKeys("C a r l Enter");
  b.waitForText("Programmet har udfoert en ulovlig");
  b.sendKeys("Enter");

  // The server killed: row 23 says so, a key that changes the day gets
  // the error box in time, and once it is back all goes on.
  ScratchPostgres& server = clinic.server();
  server.kill();
  a.waitForText("Ingen forbindelse til databasen");
  const auto pressed = steady_clock::now();
  a.sendKeys("F3 v");
  a.waitForText("Programmet har udfoert en ulovlig");
  EXPECT_LT(steady_clock::now() - pressed, milliseconds(3000));
  a.sendKeys("Enter");
  ASSERT_TRUE(server.start()) << server.whyNot();
  a.waitFor([](const VtModel& m) { return !screenContains(m, "Ingen forbindelse"); });
  a.sendKeys("F3 v");
  a.waitForText("Tildelt nummer: 3");
  b.waitForText("Ventende: 2 - 0");
  const auto escape = steady_clock::now();
  b.sendKeys("Escape");
  b.waitForText("exit=0");
  EXPECT_LT(steady_clock::now() - escape, milliseconds(2500));
  EXPECT_EQ(server.sql("SELECT count(*) FROM morvalis.changes WHERE kind = 'nummer'"), "3");
  // The report reads the same day from any of the folders.
  const std::string report = clinic.run("tv", MORVALIS_REPORT_BINARY);
  EXPECT_NE(report.find("voksne    3      1      2"), std::string::npos) << report;
  // And what each desk did: A gave 1 and 3, B gave 2 and called one.
  EXPECT_NE(report.find("Pr. station"), std::string::npos) << report;
  const auto stationLine = [&report](const std::string& folder) {
    const auto at = report.find(":" + folder + " ");
    if (at == std::string::npos) return std::string();
    const auto end = report.find('\n', at);
    std::string numbers = report.substr(at + 2, end - at - 2);
    numbers.erase(0, numbers.find_first_not_of(' '));
    return numbers;
  };
  EXPECT_EQ(stationLine("a"), "2      0") << report;
  EXPECT_EQ(stationLine("b"), "1      1") << report;
}

}  // namespace

namespace {

// A TCP proxy on 127.0.0.1 in front of the server that can stall: while
// stalled it takes bytes in from neither side and passes none on, as a
// network that hangs without closing anything.
class StallingProxy {
 public:
  explicit StallingProxy(int serverPort) : serverPort_(serverPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size);
    port_ = ntohs(at.sin_port);
    ::listen(listener_, 64);
    thread_ = std::thread([this] { run(); });
  }
  ~StallingProxy() {
    stop_ = true;
    thread_.join();
    for (const auto& [a, b] : pairs_) ::close(a), ::close(b);
    ::close(listener_);
  }
  int port() const { return port_; }
  std::atomic<bool> stalled{false};

 private:
  void run() {
    while (!stop_) {
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      if (!stalled) {
        for (const auto& [a, b] : pairs_) fds.push_back({a, POLLIN, 0}), fds.push_back({b, POLLIN, 0});
      }
      if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        at.sin_port = htons(static_cast<std::uint16_t>(serverPort_));
        if (::connect(server, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0) {
          pairs_.emplace_back(client, server);
        } else {
          ::close(client), ::close(server);
        }
      }
      for (std::size_t i = 1; i < fds.size(); ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        auto& pair = pairs_[(i - 1) / 2];
        const int from = fds[i].fd, to = from == pair.first ? pair.second : pair.first;
        char buffer[16384];
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n <= 0 || ::send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) {
          ::shutdown(to, SHUT_RDWR);
          ::shutdown(from, SHUT_RDWR);
        }
      }
    }
  }
  int serverPort_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::vector<std::pair<int, int>> pairs_;
  std::thread thread_;
};

std::string rowOf(const VtModel& m, int row) {
  return m.screen.rowText(row - 1);
}

// Three desks and a display for 30 s of keys at random moments, through a
// proxy; the server killed and started again at 8 s, the network stalled
// from 16 s to 26 s. Every number is issued once and called at most once,
// a key is answered within the limit while the network hangs, and at the
// end every desk's and the display's picture is the database's day.
TEST(DatabaseProcess, ThreeDesksForHalfAMinuteOfRandomKeysAndFaults) {
  ClinicDriver clinic("database-storm");
  if (!clinic.whyNot().empty()) GTEST_SKIP() << clinic.whyNot();
  ScratchPostgres& server = clinic.server();
  StallingProxy proxy(server.port());
  clinic.useDatabase("postgresql://morvalis@127.0.0.1:" + std::to_string(proxy.port()) + "/morvalis");
  for (const char* folder : {"a", "b", "c", "tv"}) clinic.folder(folder);
  ASSERT_TRUE(clinic.createSchema("a"));
  std::vector<std::unique_ptr<PtyProgram>> desks;
  for (const char* folder : {"a", "b", "c"}) {
    desks.push_back(std::make_unique<PtyProgram>(std::vector<std::string>{MORVALIS_BINARY},
                                                 (clinic.path() / folder).string(), std::vector<std::string>{}));
    ASSERT_TRUE(desks.back()->waitFor([](const VtModel& m) { return rowOf(m, 4).find("Ventende") != std::string::npos; }));
  }
  PtyProgram display({MORVALIS_DISPLAY_BINARY, "--quiet"}, (clinic.path() / "tv").string(), {});
  const char* const f1 = "\x1bOP", *const f3 = "\x1bOR", *const f4 = "\x1bOS";
  desks[0]->send(std::string(f1) + "1vAnna\r" + f1 + "2bBo\r");
  desks[1]->send(std::string(f1) + "3vCarl\r" + f1 + "4bDina\r");
  desks[2]->send(std::string(f1) + "5vEva\r");

  std::mt19937 random(20261208);
  std::vector<int> shown;  // numbers the desks showed as given
  const auto start = steady_clock::now();
  bool killed = false, restarted = false, stalledOnce = false, probed = false;
  while (steady_clock::now() - start < seconds(30)) {
    const auto t = steady_clock::now() - start;
    if (!killed && t > seconds(8)) server.kill(), killed = true;
    if (!restarted && t > seconds(10)) {
      ASSERT_TRUE(server.start()) << server.whyNot();
      restarted = true;
    }
    if (!stalledOnce && t > seconds(16)) proxy.stalled = true, stalledOnce = true;
    if (!probed && t > seconds(18)) {
      // While the network hangs: F3 gets the error box within the limit.
      probed = true;
      desks[0]->send("\r\r");
      desks[0]->waitFor([](const VtModel&) { return false; }, milliseconds(200));
      const auto pressed = steady_clock::now();
      desks[0]->send(std::string(f3) + "v");
      EXPECT_TRUE(desks[0]->waitFor([](const VtModel& m) { return rowOf(m, 13).find("ulovlig") != std::string::npos; },
                                    milliseconds(3000)))
          << "a key answered while the network hangs";
      EXPECT_LT(steady_clock::now() - pressed, milliseconds(3000));
    }
    if (stalledOnce && t > seconds(26)) proxy.stalled = false;
    PtyProgram& desk = *desks[random() % desks.size()];
    const int action = static_cast<int>(random() % 100);
    if (action < 45) {
      desk.send(std::string(f3) + (random() % 3 == 0 ? "b" : "v"));
    } else if (action < 92) {
      desk.send(std::string(f4) + std::to_string(1 + random() % 5));
    } else {
      desk.send("\r");  // closes an error box, if one is open
    }
    std::this_thread::sleep_for(milliseconds(random() % 60));
    for (auto& d : desks) {
      d->pump();
      const std::string nine = rowOf(d->screen, 9);
      const auto at = nine.find("Tildelt nummer: ");
      if (at != std::string::npos) shown.push_back(std::atoi(nine.c_str() + at + 16));
    }
    display.pump();
  }
  proxy.stalled = false;

  // The day as the database has it.
  const Replay day = replayJournal(clinic.dayText());
  EXPECT_EQ(day.damage, Replay::Damage::None);
  const auto& series = day.state.series;
  EXPECT_GT(series[0].counter + series[1].counter, 20) << "the desks got on with it";
  std::printf("30 s of three desks: %d + %d numbers issued, %s calls, %zu numbers seen on the desks\n",
              series[0].counter, series[1].counter,
              server.sql("SELECT count(*) FROM morvalis.changes WHERE kind = 'kald'").c_str(), shown.size());
  expectNumbersOnceEach(server);
  for (const int n : shown) EXPECT_LE(n, std::max(series[0].counter, series[1].counter)) << "shown, so kept";
  // Every desk ends on the database's day: its counts, once each has
  // closed any box and taken in the last news.
  // (Wide counts lose their blanks: "Ventende: 189-19".)
  const auto counts = [](const VtModel& m) {
    const std::string row = rowOf(m, 4);
    const auto at = row.find("Ventende:");
    int adults = -1, children = -1;
    if (at != std::string::npos) std::sscanf(row.c_str() + at, "Ventende: %d - %d", &adults, &children);
    if (at != std::string::npos && children < 0) std::sscanf(row.c_str() + at, "Ventende: %d-%d", &adults, &children);
    return std::pair<int, int>(adults, children);
  };
  const std::pair<int, int> waiting(series[0].waiting, series[1].waiting);
  for (auto& d : desks) {
    d->send("\r");
    EXPECT_TRUE(d->waitFor([&](const VtModel& m) { return counts(m) == waiting; }, seconds(8)))
        << waiting.first << " - " << waiting.second << " / " << rowOf(d->screen, 4);
  }
  for (int room = 1; room <= 5; ++room) {
    const auto& shift = day.state.rooms[static_cast<std::size_t>(room - 1)];
    if (!shift || shift->lastCalled == 0) continue;
    char row[64];
    std::snprintf(row, sizeof row, "Rum %d %9d", room, shift->lastCalled);
    EXPECT_TRUE(display.waitFor([&](const VtModel& m) { return screenContains(m, row); }, seconds(8)))
        << "the display shows room " << room << "'s last call";
  }
}

}  // namespace

namespace {

// The Windows desk, booth, ticket machine and display (cross-built with
// libpq and OpenSSL from Debian's source) under Wine, on the same day as a
// Linux desk, every one over TLS (sslmode=require); their morvalis.conf as
// Windows saves it (CR LF).
TEST(DatabaseProcess, TheWindowsStationsUnderWine) {
  if (!ClinicDriver::windowsBuilt()) {
    GTEST_SKIP() << "the Windows programs are not built: ./scripts/windows builds them";
  }
  ClinicDriver clinic("database-wine", true);
  if (!clinic.whyNot().empty()) GTEST_SKIP() << clinic.whyNot();
  // What scripts/libpq-windows built the Windows libpq with.
  const fs::path built = fs::path(MORVALIS_WINDOWS_EXE).parent_path().parent_path().parent_path();
  std::string tlsWhyNot = clinic.server().tlsWhyNot();
  if (WorkDirectory::read(built / "libpq-windows" / "tls") != "openssl\n") {
    tlsWhyNot = "the Windows libpq has no TLS (build/libpq-windows/tls)";
  }
  if (!tlsWhyNot.empty()) std::printf("TLS not tried: %s\n", tlsWhyNot.c_str());
  const std::string uri = clinic.server().uri() + (tlsWhyNot.empty() ? "?sslmode=require" : "");
  FakePrinter printer;
  for (const char* folder : {"linux", "windows", "booth", "door", "tv"}) {
    const std::string more = std::string(folder) == "door" ? "printer = " + printer.address() + "\r\n" : "";
    WorkDirectory::write(clinic.folder(folder) / "morvalis.conf", "database = " + uri + "\r\n" + more);
  }
  const auto windows = ClinicDriver::Build::Windows;
  std::string made;
  const bool schema = clinic.createSchema("windows", windows, &made);
  if (made.find("built without PostgreSQL") != std::string::npos) {
    GTEST_SKIP() << "the Windows build has no libpq (scripts/libpq-windows could not make it)";
  }
  ASSERT_TRUE(schema) << made;
  TmuxPane& desk = clinic.desk("windows", windows);
  TmuxPane& linux = clinic.desk("linux");
  TmuxPane& booth = clinic.booth("booth", 2, windows);
  TmuxPane& door = clinic.automat("door", windows);
  TmuxPane& display = clinic.display("tv", windows);
  const auto slowly = [](TmuxPane& pane, const std::string& text) {
    return screenContains(pane.waitFor([&](const VtModel& m) { return screenContains(m, text); }, seconds(30)), text);
  };
  ASSERT_TRUE(slowly(desk, "Ventende: 0 - 0"));
  ASSERT_TRUE(slowly(booth, "Ledigt"));
  ASSERT_TRUE(slowly(door, "Tryk v   Voksen"));
  linux.waitForText("Ventende: 0 - 0");
  desk.sendKeys("F1 1 v A n n a Enter F3 v");
  desk.waitForText("Tildelt nummer: 1");
  linux.waitForText("Ventende: 1 - 0");
  linux.sendKeys("F3 b F4 1");
  desk.waitForText("Ventende: 0 - 1");
  char called[64];
  std::snprintf(called, sizeof called, "Rum 1 %9d   voksen", 1);
  EXPECT_TRUE(slowly(display, called));

  // The door gives a child's number, printed; the Windows booth calls it.
  door.sendKeys("b");
  EXPECT_TRUE(slowly(door, "Deres nummer (Barn):"));
  ASSERT_TRUE(printer.waitForJobs(1, 10000));
  EXPECT_EQ(readEscPos(printer.received()[0]).largest(), "2");
  booth.sendKeys("F1 B o Enter b Enter");
  ASSERT_TRUE(slowly(booth, "Laborant: Bo (boern)"));
  booth.sendKeys("F4");
  ASSERT_TRUE(slowly(booth, "Nummer i rummet (kaldt 1 gang):"));
  booth.sendKeys("F6");
  EXPECT_TRUE(slowly(booth, "(kaldt 2 gange)"));
  linux.waitForText("Ventende: 0 - 0");
  EXPECT_EQ(clinic.server().sql("SELECT count(DISTINCT station) FROM morvalis.changes"), "4")
      << "each station names itself in its rows";
  if (tlsWhyNot.empty()) {
    // The five stations' connections (a writer and a listener each), none in clear.
    EXPECT_EQ(clinic.server().sql("SELECT count(*) FILTER (WHERE NOT s.ssl) || ' in clear of ' || count(*) "
                                  "FROM pg_stat_ssl s JOIN pg_stat_activity a USING (pid) "
                                  "WHERE a.application_name LIKE 'morvalis%'"),
              "0 in clear of 10");
  }
  door.sendKeys("C-q");
  EXPECT_TRUE(slowly(door, "exit=0"));
  booth.sendKeys("F2");
  EXPECT_TRUE(slowly(booth, "Ledigt"));
  EXPECT_EQ(WorkDirectory::read(clinic.path() / "booth" / "data.txt").rfind("Bo ", 0), 0u)
      << "the shift's line in the Windows booth's data.txt";
  booth.sendKeys("Escape");
  EXPECT_TRUE(slowly(booth, "exit=0"));
}

}  // namespace

namespace {

// The ticket machine at the door beside a desk: its keys give numbers the
// desk sees and print their tickets; every other key does nothing; a
// printer gone is said on its screen and the number is still given; only
// its end key ends it.
TEST(DatabaseProcess, TheTicketMachineAtTheDoor) {
  ClinicDriver clinic("database-automat");
  if (!clinic.whyNot().empty()) GTEST_SKIP() << clinic.whyNot();
  FakePrinter printer;
  clinic.folder("desk");
  clinic.folder("door", "printer = " + printer.address() + "\nklinik = Blodpr\xC3\xB8ver\ntast voksen = 1\ntast barn = 2\n");
  ASSERT_TRUE(clinic.createSchema("desk"));
  const std::string without = clinic.run("desk", std::string(MORVALIS_AUTOMAT_BINARY) + " /tmp; echo $?");
  EXPECT_NE(without.find("no database in /tmp/morvalis.conf"), std::string::npos) << without;
  TmuxPane& desk = clinic.desk("desk");
  TmuxPane& door = clinic.automat("door");
  door.waitForText("Tryk 1   Voksen");
  desk.waitForText("Ventende: 0 - 0");
  door.sendKeys("1");
  door.waitForText("Deres nummer (Voksen):");
  ASSERT_TRUE(printer.waitForJobs(1, 5000));
  EXPECT_EQ(readEscPos(printer.received()[0]).largest(), "1");
  door.sendKeys("v x Escape F3 Enter 2");  // only its own keys count
  door.waitForText("Deres nummer (Barn):");
  desk.waitForText("Ventende: 1 - 1");
  desk.sendKeys("F3 v");
  desk.waitForText("Tildelt nummer: 2");
  // The printer gone: said at the bottom, and the number given all the same.
  printer.goAway();
  door.sendKeys("1");
  door.waitForText("Billet ikke udskrevet");
  desk.waitForText("Ventende: 3 - 1");
  EXPECT_TRUE(screenContains(door.capture(), "Deres nummer (Voksen):"));
  door.sendKeys("C-q");
  door.waitForText("exit=0");
  EXPECT_EQ(clinic.server().sql("SELECT string_agg(split_part(line, ' ', 5) || split_part(line, ' ', 6), ',' "
                                "ORDER BY seq) FROM morvalis.changes WHERE kind = 'nummer'"),
            "voksen1,barn1,voksen2,voksen3");
}

}  // namespace

namespace {

// A booth and a desk on one day: a technician arrives at the booth, calls
// the next patient, calls again (three calls at most, then the booth says
// so), marks one that did not come, and leaves with the shift's line in the
// booth's own data.txt, the departure settled once. (Booths calling at the
// same moment: the clinic's day at every station.)
TEST(DatabaseProcess, TheTechniciansBooth) {
  ClinicDriver clinic("database-booth");
  if (!clinic.whyNot().empty()) GTEST_SKIP() << clinic.whyNot();
  for (const char* folder : {"desk", "two"}) clinic.folder(folder);
  ASSERT_TRUE(clinic.createSchema("desk"));
  ScratchPostgres& server = clinic.server();
  TmuxPane& desk = clinic.desk("desk");
  TmuxPane& two = clinic.booth("two", 2);
  two.waitForText("Ledigt");
  two.sendKeys("F1 A n n a Enter v Enter");
  two.waitForText("Laborant: Anna (voksne)");
  desk.waitForText("Ventende: 0 - 0");
  desk.sendKeys("F3 v F3 v F3 v");
  two.waitForText("Ventende: voksne 3, boern 0");
  two.sendKeys("F4");
  two.waitForText("Nummer i rummet (kaldt 1 gang):");
  desk.waitForText("Ventende: 2 - 0");
  two.sendKeys("F6 F6");
  two.waitForText("(kaldt 3 gange)");
  two.sendKeys("F6");
  two.waitForText("Nummeret er kaldt 3 gange");
  two.sendKeys("F7");
  two.waitFor([](const VtModel& m) { return !screenContains(m, "Nummer i rummet"); });
  EXPECT_EQ(server.sql("SELECT room FROM morvalis.changes WHERE kind = 'kald' AND number = 1"), "2");
  EXPECT_EQ(server.sql("SELECT count(*) FROM morvalis.changes WHERE kind = 'igen'"), "2");
  EXPECT_EQ(server.sql("SELECT number FROM morvalis.changes WHERE kind = 'ikkemoedt'"), "1");
  // The server gone: F4 says so on the bottom row for as long as it lasts,
  // and the row is clear again by itself once the server is back.
  server.kill();
  two.sendKeys("F4");
  two.waitForText("Ingen forbindelse til databasen");
  ASSERT_TRUE(server.start());
  two.waitFor([](const VtModel& m) { return !screenContains(m, "Ingen forbindelse"); }, std::chrono::seconds(10));
  EXPECT_FALSE(screenContains(two.capture(), "Ingen forbindelse")) << "said after the server was back";
  two.sendKeys("F4");
  two.waitForText("Nummer i rummet (kaldt 1 gang):");
  two.sendKeys("F2");
  two.waitForText("Ledigt");
  const std::string log = WorkDirectory::read(clinic.path() / "two" / "data.txt");
  EXPECT_EQ(log.rfind("Anna ", 0), 0u) << log;
  EXPECT_NE(log.find(" voksne \r\n"), std::string::npos) << log;
  EXPECT_EQ(server.sql("SELECT string_agg(kind, ',' ORDER BY seq) FROM morvalis.changes WHERE room = 2 "
                       "AND kind IN ('gaar', 'fri')"),
            "gaar,fri");
  two.sendKeys("Escape");
  two.waitForText("exit=0");
}

}  // namespace

namespace {

// The waiting room's picture of `day` as the display draws it, row by row.
std::vector<std::string> pictureOf(const DayState& day) {
  MemoryConsole console({}, 80, 25);
  WaitingRoom room;
  room.open = true;
  room.state = day;
  drawWaitingRoom(room, 80, 25);
  std::vector<std::string> rows;
  for (int y = 0; y < 25; ++y) rows.push_back(console.grid().rowText(y));
  return rows;
}

// Rows 2 to 23 (the calls and the rooms) and the waiting counts at the
// start of row 25; the clock, the problem row and the expected waits are
// the display's own.
bool samePicture(const VtModel& shown, const std::vector<std::string>& expected) {
  for (int y = 1; y < 23; ++y) {
    if (shown.screen.rowText(y) != expected[static_cast<std::size_t>(y)]) return false;
  }
  const std::string& counts = expected[24].substr(0, expected[24].find("   ") );
  return shown.screen.rowText(24).rfind(counts, 0) == 0;
}

// The clinic's day at every station at once: the desk, three booths, the
// ticket machine at the door and the display. Forty numbers drawn at the
// door (each ticket printed with its number), the booths calling the next
// at random, two of them at the same instant now and then, calling again
// and marking numbers not met; the desk calling into its own room. Every
// number is given once and called at most three times, no two rooms get
// one patient, every station's and the display's last picture is the
// database's day, and the report counts what the database holds.
TEST(DatabaseProcess, AClinicsDayAtEveryStation) {
  ClinicDriver clinic("database-clinic");
  if (!clinic.whyNot().empty()) GTEST_SKIP() << clinic.whyNot();
  FakePrinter printer;
  for (const char* folder : {"desk", "r1", "r2", "r3", "tv"}) clinic.folder(folder);
  clinic.folder("door", "printer = " + printer.address() + "\n");
  ASSERT_TRUE(clinic.createSchema("desk"));
  const ScratchPostgres& server = clinic.server();
  TmuxPane& desk = clinic.desk("desk");
  std::vector<TmuxPane*> booths;
  for (int room = 1; room <= 3; ++room) booths.push_back(&clinic.booth("r" + std::to_string(room), room));
  TmuxPane& door = clinic.automat("door");
  TmuxPane& display = clinic.display("tv");
  booths[0]->sendKeys("F1 A n n a Enter v Enter");
  booths[1]->sendKeys("F1 B o Enter v Enter");
  booths[2]->sendKeys("F1 C a r l Enter b Enter");
  for (TmuxPane* booth : booths) booth->waitForText("Laborant: ");
  desk.sendKeys("F1 4 v D i n a Enter");
  door.waitForText("Tryk v   Voksen");

  std::mt19937 random(20261208);
  int together = 0;
  for (int drawn = 1; drawn <= 40; ++drawn) {
    door.sendKeys(random() % 3 == 0 ? "b" : "v");
    ASSERT_TRUE(printer.waitForJobs(static_cast<std::size_t>(drawn), 5000)) << "ticket " << drawn;
    TmuxPane& booth = *booths[random() % 3];
    switch (random() % 8) {
      case 0:
      case 1: booth.sendKeys("F4"); break;
      case 2:
      case 3: {  // two booths at the same instant
        TmuxPane& other = *booths[(&booth - booths[0] + 1 + random() % 2) % 3];
        booth.sendKeys("F4");
        other.sendKeys("F4");
        ++together;
        break;
      }
      case 4: booth.sendKeys("F6"); break;
      case 5: booth.sendKeys("F7"); break;
      case 6: desk.sendKeys("F4 4 Enter"); break;  // Enter: a box, if one came
      default: break;
    }
    std::this_thread::sleep_for(milliseconds(random() % 150));
  }
  EXPECT_GE(together, 3);

  // The tickets: one per number drawn, with its number, in order.
  std::string ticketed;
  for (const std::string& job : printer.received()) ticketed += (ticketed.empty() ? "" : ",") + readEscPos(job).largest();
  EXPECT_EQ(ticketed, server.sql("SELECT string_agg(number::text, ',' ORDER BY seq) FROM morvalis.changes "
                                 "WHERE kind = 'nummer'"));
  expectNumbersOnceEach(server);
  EXPECT_EQ(server.sql("SELECT count(*) FROM (SELECT 1 FROM morvalis.changes WHERE kind IN ('kald', 'igen') "
                       "GROUP BY category, number HAVING count(*) > 3) often"),
            "0")
      << "three calls at most";
  const std::string kinds = server.sql("SELECT string_agg(kind || ' ' || n, ', ' ORDER BY kind) FROM "
                                       "(SELECT kind, count(*) AS n FROM morvalis.changes GROUP BY kind) k");
  std::printf("a clinic's day at every station: %s; %d times two booths at once\n", kinds.c_str(), together);

  // Every picture ends on the database's day.
  const Replay day = replayJournal(clinic.dayText());
  ASSERT_EQ(day.damage, Replay::Damage::None);
  const DayState& state = day.state;
  char counts[64];
  std::snprintf(counts, sizeof counts, "Ventende: voksne %d, boern %d", state.series[0].waiting,
                state.series[1].waiting);
  for (int room = 1; room <= 3; ++room) {
    TmuxPane& booth = *booths[static_cast<std::size_t>(room - 1)];
    const auto& shift = state.rooms[static_cast<std::size_t>(room - 1)];
    ASSERT_TRUE(shift);
    char inRoom[64];
    std::snprintf(inRoom, sizeof inRoom, "(kaldt %d %s)", shift->calls, shift->calls == 1 ? "gang" : "gange");
    const VtModel shown = booth.waitFor([&](const VtModel& m) {
      return screenContains(m, counts) && (shift->lastCalled == 0) != screenContains(m, inRoom);
    });
    EXPECT_TRUE(screenContains(shown, counts)) << "room " << room << ": " << counts;
    EXPECT_EQ(shift->lastCalled == 0, !screenContains(shown, inRoom)) << "room " << room << ": " << inRoom;
  }
  char deskCounts[64];
  std::snprintf(deskCounts, sizeof deskCounts, "Ventende: %d - %d", state.series[0].waiting, state.series[1].waiting);
  desk.sendKeys("Enter");
  desk.waitForText(deskCounts);
  const std::vector<std::string> expected = pictureOf(state);
  const VtModel last = display.waitFor([&](const VtModel& m) { return samePicture(m, expected); });
  for (int y = 1; y < 23; ++y) {
    EXPECT_EQ(last.screen.rowText(y), expected[static_cast<std::size_t>(y)]) << "display row " << y + 1;
  }

  // The report: per room, the numbers first called there, their calls
  // again, and those not met.
  const std::string report = clinic.run("tv", MORVALIS_REPORT_BINARY);
  std::string reported;
  const auto section = report.find("Pr. rum\n");
  ASSERT_NE(section, std::string::npos) << report;
  std::istringstream rows(report.substr(report.find('\n', section + 8) + 1));
  for (std::string row; std::getline(rows, row) && !row.empty();) {
    char date[16];
    int room = 0, called = 0, recalls = 0, notMet = 0;
    if (std::sscanf(row.c_str(), "%15s %d %d %d %d", date, &room, &called, &recalls, &notMet) != 5) break;
    reported += (reported.empty() ? "" : ",") + std::to_string(room) + " " + std::to_string(called) + " " +
                std::to_string(recalls) + " " + std::to_string(notMet);
  }
  EXPECT_EQ(reported,
            server.sql("WITH first AS (SELECT room, category, number FROM morvalis.changes WHERE kind = 'kald') "
                       "SELECT string_agg(room || ' ' || called || ' ' || recalls || ' ' || notmet, ',' ORDER BY room) "
                       "FROM (SELECT f.room, count(*) AS called, "
                       "sum((SELECT count(*) FROM morvalis.changes c WHERE c.kind = 'igen' "
                       "AND c.category = f.category AND c.number = f.number)) AS recalls, "
                       "sum((SELECT least(count(*), 1) FROM morvalis.changes c WHERE c.kind = 'ikkemoedt' "
                       "AND c.category = f.category AND c.number = f.number)) AS notmet "
                       "FROM first f GROUP BY f.room) r"))
      << report;
}

}  // namespace
