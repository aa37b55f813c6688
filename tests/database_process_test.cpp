// Two desks and a display, as the programs they are, on one day in the
// test's own PostgreSQL: each sees the others' changes, a room another
// desk took gets the error box, and a server killed and started again is
// said on row 23, refuses nothing silently, and is followed back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "pty_program.hpp"
#include "scratch_postgres.hpp"
#include "tmux_pane.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

bool shows(const VtModel& m, const std::string& text) {
  for (int row = 0; row < m.screen.height(); ++row) {
    if (m.screen.rowText(row).find(text) != std::string::npos) return true;
  }
  return false;
}

TEST(DatabaseProcess, TwoDesksAndADisplayShareOneDay) {
  WorkDirectory dir("database-process");
  ScratchPostgres server(fs::temp_directory_path() / ("morvalis-pgp-" + std::to_string(getpid())));
  if (!server.whyNot().empty()) GTEST_SKIP() << server.whyNot();
  for (const char* folder : {"a", "b", "tv"}) {
    fs::create_directory(dir.path() / folder);
    WorkDirectory::write(dir.path() / folder / "morvalis.conf", "database = " + server.uri() + "\n");
  }
  const std::string made = runCommand("cd " + (dir.path() / "a").string() + " && " + MORVALIS_BINARY +
                                      " --opret-database 2>&1");
  ASSERT_NE(made.find("schema version 1"), std::string::npos) << made;

  TmuxPane a(80, 25, MORVALIS_BINARY, (dir.path() / "a").string());
  TmuxPane b(80, 25, std::string(MORVALIS_BINARY) + "; printf 'exit=%s' $?; sleep 60",
             (dir.path() / "b").string());
  PtyProgram display({MORVALIS_DISPLAY_BINARY, "--quiet"}, (dir.path() / "tv").string(), {});
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
  EXPECT_TRUE(display.waitFor([&](const VtModel& m) { return shows(m, called); }))
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
  server.kill();
  a.waitForText("Ingen forbindelse til databasen");
  const auto pressed = steady_clock::now();
  a.sendKeys("F3 v");
  a.waitForText("Programmet har udfoert en ulovlig");
  EXPECT_LT(steady_clock::now() - pressed, milliseconds(3000));
  a.sendKeys("Enter");
  ASSERT_TRUE(server.start()) << server.whyNot();
  a.waitFor([](const VtModel& m) { return !shows(m, "Ingen forbindelse"); });
  a.sendKeys("F3 v");
  a.waitForText("Tildelt nummer: 3");
  b.waitForText("Ventende: 2 - 0");
  const auto escape = steady_clock::now();
  b.sendKeys("Escape");
  b.waitForText("exit=0");
  EXPECT_LT(steady_clock::now() - escape, milliseconds(2500));
  EXPECT_EQ(server.sql("SELECT count(*) FROM morvalis.changes WHERE kind = 'nummer'"), "3");
  // The report reads the same day from any of the folders.
  const std::string report = runCommand("cd " + (dir.path() / "tv").string() + " && " +
                                        MORVALIS_REPORT_BINARY + " 2>&1");
  EXPECT_NE(report.find("voksne    3      1      2"), std::string::npos) << report;
}

}  // namespace
