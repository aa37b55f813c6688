// The shift log on Windows' own file calls: a departure puts its line on
// top of data.txt, and two writers at once take turns.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include <algorithm>

#include "desk_driver.hpp"
#include "shift_log.hpp"
#include "test_name.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;

class Win32ShiftLog : public testing::Test {
 protected:
  WorkDirectory dir{testing::UnitTest::GetInstance()->current_test_info()->name()};
};

TEST_F(Win32ShiftLog, ADepartureAddsItsLineOnTop) {
  WorkDirectory::write("data.txt", "old 1.00 2.00 4 voksne \r\n");
  DeskDriver d;
  d.times({at(8, 30), at(10, 15)});
  d.arrive(1, 'v', "Hans");
  d.key(2).press({'1'});
  d.run();
  EXPECT_EQ(WorkDirectory::read("data.txt"),
            "Hans 8.30 10.15 0 voksne \r\nold 1.00 2.00 4 voksne \r\n");
  EXPECT_FALSE(fs::exists("temp.txt"));
  EXPECT_FALSE(d.desk.rooms[0]);
}

// Two writers at once (threads here; copies of the program alike) take
// turns on the folder's lock file: every line of both is in the log.
TEST_F(Win32ShiftLog, TwoWritersAtOnceLoseNoLine) {
  constexpr int kLines = 40;
  const auto writer = [](char who) {
    ShiftLog log;
    for (int i = 0; i < kLines; ++i) {
      ASSERT_TRUE(log.add(std::string(1, who) + std::to_string(i) + " 1.00 2.00 0 voksne \r\n"))
          << log.lastError();
    }
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  const std::string log = WorkDirectory::read("data.txt");
  for (const char who : {'a', 'b'}) {
    for (int i = 0; i < kLines; ++i) {
      EXPECT_NE(log.find(std::string(1, who) + std::to_string(i) + " "), std::string::npos)
          << who << i;
    }
  }
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2 * kLines);
}

}  // namespace
