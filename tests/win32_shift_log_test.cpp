// The shift log on Windows' own file calls: a departure puts its line on
// top of data.txt; any failing call leaves data.txt as it was, no temp.txt,
// and the shift open.
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

class FailingFiles : public FileSystem {
 public:
  enum class Call { CreateScratch, Read, Write, Flush, Close, Move };
  FailingFiles(Call call, int after) : call_(call), after_(after) {}

  HANDLE createFile(const char* path, DWORD access, DWORD share, DWORD disposition) override {
    if (disposition == CREATE_NEW && fails(Call::CreateScratch)) return INVALID_HANDLE_VALUE;
    return FileSystem::createFile(path, access, share, disposition);
  }
  BOOL readFile(HANDLE f, void* b, DWORD n, DWORD* read) override {
    return fails(Call::Read) ? FALSE : FileSystem::readFile(f, b, n, read);
  }
  BOOL writeFile(HANDLE f, const void* b, DWORD n, DWORD* written) override {
    return fails(Call::Write) ? FALSE : FileSystem::writeFile(f, b, n, written);
  }
  BOOL flushFileBuffers(HANDLE f) override {
    return fails(Call::Flush) ? FALSE : FileSystem::flushFileBuffers(f);
  }
  BOOL closeHandle(HANDLE h) override {
    if (fails(Call::Close)) {
      FileSystem::closeHandle(h);  // the handle is gone, but the data may not be
      return FALSE;
    }
    return FileSystem::closeHandle(h);
  }
  BOOL moveFileEx(const char* from, const char* to, DWORD flags) override {
    return fails(Call::Move) ? FALSE : FileSystem::moveFileEx(from, to, flags);
  }

 private:
  bool fails(Call call) {
    if (call != call_ || done_ || after_-- > 0) return false;
    done_ = true;
    SetLastError(ERROR_DISK_FULL);
    return true;
  }
  Call call_;
  int after_;
  bool done_ = false;
};

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
// turns on the folder's mutex: every line of both is in the log.
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

struct Fault {
  const char* what;
  FailingFiles::Call call;
  int after;
};

class Win32ShiftLogFaults : public Win32ShiftLog, public testing::WithParamInterface<Fault> {};

TEST_P(Win32ShiftLogFaults, LeaveTheLogAsItWasAndTheShiftOpen) {
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
  EXPECT_TRUE(d.panelBlank()) << "the error box ran and cleared the panel";
  EXPECT_FALSE(d.desk.shiftLog.lastError().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Injected, Win32ShiftLogFaults,
    testing::Values(Fault{"scratch file cannot be made", FailingFiles::Call::CreateScratch, 0},
                    Fault{"disk full at the first write", FailingFiles::Call::Write, 0},
                    Fault{"disk full in the copy", FailingFiles::Call::Write, 1},
                    Fault{"read error in the old log", FailingFiles::Call::Read, 1},
                    Fault{"flush fails", FailingFiles::Call::Flush, 0},
                    Fault{"close of the new log fails", FailingFiles::Call::Close, 0},
                    Fault{"the move fails", FailingFiles::Call::Move, 0}),
    [](const testing::TestParamInfo<Fault>& param) { return testNameOf(param.param.what); });

}  // namespace
