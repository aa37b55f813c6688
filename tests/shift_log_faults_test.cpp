// F2 when a file call fails, on this platform's own calls: data.txt stays
// exactly as it was, no temp.txt is left, and the shift stays open.
#include <gtest/gtest.h>

#include <filesystem>

#include "desk_driver.hpp"
#include "failing_files.hpp"
#include "shift_log.hpp"
#include "test_name.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;
using Call = FailingFiles::Call;

struct Fault {
  const char* what;
  Call call;
  int after;  // calls of that kind that still succeed first
};

class ShiftLogFaults : public testing::TestWithParam<Fault> {
 protected:
  WorkDirectory dir{testNameOf(GetParam().what)};
};

TEST_P(ShiftLogFaults, LeaveTheLogAsItWasAndTheShiftOpen) {
  // An old log larger than one write, so a later write can fail too.
  std::string old;
  for (int i = 0; i < 5000; ++i) old += "line " + std::to_string(i) + " 1.00 2.00 0 voksne \r\n";
  WorkDirectory::write("data.txt", old);
  FailingFiles files(GetParam().call, GetParam().after);
  DeskDriver d(files);
  d.times({at(8, 0)});
  d.arrive(2, 'v', "Kim");
  d.key(2).press({'2', 'x'});  // 'x' closes the error box
  d.run();
  EXPECT_EQ(WorkDirectory::read("data.txt"), old);
  EXPECT_FALSE(fs::exists("temp.txt"));
  ASSERT_TRUE(d.desk.rooms[1]) << "the shift stays open";
  EXPECT_EQ(d.desk.rooms[1]->getName(), "Kim");
  EXPECT_EQ(d.color(22, 4), LightRed);
  EXPECT_EQ(d.text(7, 39, 79), "data.txt kan ikke skrives: disken er fuld")
      << "after the error box, the panel says why";
  EXPECT_EQ(d.text(11, 39, 79), std::string(41, ' ')) << "the box is gone";
  EXPECT_FALSE(d.desk.shiftLog.lastError().empty());
}

INSTANTIATE_TEST_SUITE_P(Injected, ShiftLogFaults,
                         testing::Values(Fault{"scratch file cannot be made", Call::Create, 0},
                                         Fault{"disk full at the first write", Call::Write, 0},
                                         Fault{"disk full in the copy", Call::Write, 1},
                                         Fault{"read error in the old log", Call::Read, 1},
                                         Fault{"flush to disk fails", Call::Sync, 0},
                                         Fault{"close of the new log fails", Call::Close, 0},
                                         Fault{"the replacement fails", Call::Replace, 0}),
                         [](const testing::TestParamInfo<Fault>& param) {
                           return testNameOf(param.param.what);
                         });

}  // namespace
