// F2 and the shift log: the lines, their order, the copy of old content,
// and what a failure at any step leaves behind (nothing changed).
#include "shift_log.hpp"
#include "test_name.hpp"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "desk_driver.hpp"
#include "failing_files.hpp"
#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;
using keys::kEnter;
using namespace std::string_literals;

class ShiftLogTest : public testing::Test {
 protected:
  WorkDirectory dir{testing::UnitTest::GetInstance()->current_test_info()->name()};
  static std::string log() { return WorkDirectory::read("data.txt"); }
};

TEST_F(ShiftLogTest, FirstDepartureInAFreshDirectoryWritesOneLine) {
  DeskDriver d;
  d.times({at(8, 30), at(10, 15)});
  d.arrive(1, 'v', "Hans");
  for (int i = 0; i < 3; ++i) d.key(3).press({'v'});
  for (int i = 0; i < 3; ++i) d.key(4).press({'1'});
  d.key(2).press({'1'});
  d.run();
  EXPECT_EQ(log(), "Hans 8.30 10.15 3 voksne \r\n");
  EXPECT_FALSE(fs::exists("temp.txt"));
  EXPECT_FALSE(d.desk.rooms[0]);
  EXPECT_EQ(d.color(10, 4), LightGreen);
  EXPECT_EQ(d.text(7, 39, 49), "Rum nr:   1") << "the prompt stays, no confirmation";
}

TEST_F(ShiftLogTest, NewestFirstWithBlanksEmptyNamesAndChildShifts) {
  DeskDriver d;
  d.times({at(7, 5), at(9, 0), at(23, 50), at(9, 0), at(0, 20), at(9, 1)});
  d.arrive(1, 'v', "Anne Marie");
  d.arrive(2, 'b', "");
  d.arrive(3, 'b', "Ib");
  d.key(2).press({'2'});
  d.key(2).press({'1'});
  d.key(2).press({'3'});
  d.run();
  EXPECT_EQ(log(),
            "Ib 23.50 9.01 0 boern \r\n"
            "Anne Marie 7.05 0.20 0 voksne \r\n"
            " 9.00 9.00 0 boern \r\n");
}

TEST_F(ShiftLogTest, OldContentIsCopiedWithItsLineEndsMadeCrLf) {
  WorkDirectory::write("data.txt", "a\nb\r\nc\rd\0\x1a e\r\n\n\xff\x9b"s);
  DeskDriver d;
  d.times({at(12, 0)});
  d.arrive(5, 'v', "X");
  d.key(2).press({'5'});
  d.run();
  EXPECT_EQ(log(), "X 12.00 12.00 0 voksne \r\na\r\nb\r\ncd\0\x1a e\r\n\r\n\xff\x9b"s);
}

TEST_F(ShiftLogTest, AFreeRoomTouchesNoFile) {
  WorkDirectory::write("temp.txt", "left over");
  DeskDriver d;
  d.key(2).press({'4', 'x'});
  d.run();
  EXPECT_FALSE(fs::exists("data.txt"));
  EXPECT_EQ(WorkDirectory::read("temp.txt"), "left over");
  EXPECT_TRUE(d.panelBlank());
}

TEST_F(ShiftLogTest, ALeftoverTempFileNeverReachesTheLog) {
  WorkDirectory::write("data.txt", "old 1.00 2.00 0 voksne \r\n");
  WorkDirectory::write("temp.txt", "garbage from a crash\r\n");
  DeskDriver d;
  d.times({at(3, 0)});
  d.arrive(1, 'b', "Y");
  d.key(2).press({'1'});
  d.run();
  EXPECT_EQ(log(), "Y 3.00 3.00 0 boern \r\nold 1.00 2.00 0 voksne \r\n");
  EXPECT_FALSE(fs::exists("temp.txt"));
}

TEST_F(ShiftLogTest, ARoomIsFreeAfterDepartureAndCanBeReopened) {
  DeskDriver d;
  d.times({at(8, 0), at(9, 0), at(9, 30)});
  d.arrive(4, 'v', "A");
  d.key(3).press({'v'});
  d.key(4).press({'4'});
  d.key(2).press({'4'});
  d.key(4).press({'4', 'x'});  // free: the box
  d.key(5).press({'4', 'x'});
  d.arrive(4, 'b', "B");
  d.run();
  ASSERT_TRUE(d.desk.rooms[3]);
  EXPECT_EQ(d.desk.rooms[3]->getName(), "B");
  EXPECT_EQ(d.desk.rooms[3]->getSamples(), 0);
  EXPECT_EQ(fixed2(d.desk.rooms[3]->getStartTime()), "9.30");
  EXPECT_EQ(log(), "A 8.00 9.00 1 voksne \r\n");
}

TEST_F(ShiftLogTest, PermissionBitsAreKeptAndNewLogsFollowTheUmask) {
  ShiftLog shifts;
  const mode_t old = umask(022);
  ASSERT_TRUE(shifts.add("a\r\n"));
  EXPECT_EQ(fs::status("data.txt").permissions(), fs::perms(0644));
  fs::permissions("data.txt", fs::perms(0640));
  ASSERT_TRUE(shifts.add("b\r\n"));
  EXPECT_EQ(fs::status("data.txt").permissions(), fs::perms(0640));
  umask(old);
}

TEST_F(ShiftLogTest, ASymbolicLinkStaysALinkAndItsTargetIsUpdated) {
  fs::create_directory("store");
  WorkDirectory::write("store/real.txt", "old\r\n");
  fs::create_symlink("store/real.txt", "data.txt");
  ShiftLog shifts;
  ASSERT_TRUE(shifts.add("new\r\n")) << shifts.lastError();
  EXPECT_TRUE(fs::is_symlink("data.txt"));
  EXPECT_EQ(WorkDirectory::read("store/real.txt"), "new\r\nold\r\n");
  EXPECT_FALSE(fs::exists("temp.txt"));
  EXPECT_FALSE(fs::exists("store/temp.txt"));

  fs::remove("data.txt");
  fs::create_symlink("nowhere/missing.txt", "data.txt");
  EXPECT_FALSE(shifts.add("x\r\n")) << "a link to nothing is refused";
  EXPECT_TRUE(fs::is_symlink("data.txt"));
}

TEST_F(ShiftLogTest, ALogThatCannotBeReadIsLeftAloneAndTheShiftStaysOpen) {
  fs::create_directory("data.txt");
  DeskDriver d;
  d.arrive(3, 'b', "Al");
  d.key(2).press({'3', 'x'});
  d.run();
  EXPECT_TRUE(fs::is_directory("data.txt"));
  EXPECT_TRUE(fs::is_empty("data.txt"));
  EXPECT_FALSE(fs::exists("temp.txt"));
  EXPECT_TRUE(d.desk.rooms[2]);
  EXPECT_EQ(d.text(7, 39, 72), "data.txt er ikke en almindelig fil");
}

// A data.txt that is a FIFO (or a device) would block the open for good:
// it is refused at once, the shift stays open, and the panel says why.
TEST_F(ShiftLogTest, AFifoForALogIsRefusedWithoutWaiting) {
  ASSERT_EQ(mkfifo("data.txt", 0600), 0);
  DeskDriver d;
  d.arrive(1, 'v', "Al");
  d.key(2).press({'1', 'x'});
  d.run();
  EXPECT_TRUE(d.desk.rooms[0]);
  EXPECT_FALSE(fs::exists("temp.txt"));
  EXPECT_EQ(d.text(7, 39, 72), "data.txt er ikke en almindelig fil");
}

TEST_F(ShiftLogTest, AFailedShiftCanBeLoggedByALaterDeparture) {
  FailingFiles files(FailingFiles::Call::Replace);
  DeskDriver d(files);
  d.times({at(8, 0), at(9, 0), at(9, 5)});
  d.arrive(1, 'v', "Bo");
  d.key(2).press({'1', 'x'});  // fails: the box
  d.key(2).press({'1'});       // the file system works again
  d.run();
  EXPECT_EQ(log(), "Bo 8.00 9.05 0 voksne \r\n");
  EXPECT_FALSE(d.desk.rooms[0]);
}

TEST(ShiftLogLine, FieldsAndCopyRule) {
  rum shift(1, "Hans", 1, nullptr, [] { return at(8, 30); });
  EXPECT_EQ(ShiftLog::lineOf(shift, 10.15), "Hans 8.30 10.15 0 voksne \r\n");
  std::string out;
  ShiftLog::appendCopied(out, "x\r\ny\nz\r");
  EXPECT_EQ(out, "x\r\ny\r\nz");
}

}  // namespace
