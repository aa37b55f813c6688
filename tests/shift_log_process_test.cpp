// The shift log as real processes use it: the order of the system calls on
// disk, two copies writing at once, and a process killed mid-write.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "work_directory.hpp"

namespace {

namespace fs = std::filesystem;

pid_t startTool(long first, long count) {
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string a = std::to_string(first), b = std::to_string(count);
    execl(SHIFT_LOG_TOOL, SHIFT_LOG_TOOL, a.c_str(), b.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

std::vector<std::string> lines(const std::string& log) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    out.push_back(log.substr(start, end - start));
  }
  if (start != log.size()) out.push_back("<partial>" + log.substr(start));
  return out;
}

std::string lineFor(long i) {
  return "n" + std::to_string(i) + " 8.00 9.00 0 voksne ";
}

TEST(ShiftLogProcess, TheNewLogIsOnDiskBeforeTheRenameAndTheRenameAfterIt) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  WorkDirectory dir("strace");
  WorkDirectory::write("data.txt", "old\r\n");
  const std::string command =
      std::string("strace -o trace.txt -e trace=openat,fsync,rename,close ") + SHIFT_LOG_TOOL +
      " 1 1 2>strace-error.txt";
  if (std::system(command.c_str()) != 0 && !fs::exists("trace.txt")) {
    GTEST_SKIP() << "strace cannot trace here: " << WorkDirectory::read("strace-error.txt");
  }
  const std::string trace = WorkDirectory::read("trace.txt");
  std::smatch m;
  // The folder is opened twice: for its lock, and to flush it after the rename.
  const std::regex folderOpen(R"(openat\(AT_FDCWD, "\.", [^)]*O_DIRECTORY[^)]*\) = (\d+))");
  std::string dirFd;
  for (auto i = std::sregex_iterator(trace.begin(), trace.end(), folderOpen);
       i != std::sregex_iterator(); ++i) {
    dirFd = (*i)[1];
  }
  ASSERT_FALSE(dirFd.empty()) << trace;
  ASSERT_TRUE(
      std::regex_search(trace, m, std::regex(R"(openat\(AT_FDCWD, "temp\.txt", [^)]*\) = (\d+))")))
      << trace;
  const std::string tempFd = m[1];
  // Where a successful call starts in the trace (strace pads before "= 0").
  const auto at = [&](const std::string& call) {
    const std::regex done("(^|\n)" + std::regex_replace(call, std::regex(R"([().])"), R"(\$&)") +
                          R"( *= 0\n)");
    std::smatch found;
    return std::regex_search(trace, found, done) ? static_cast<std::size_t>(found.position(0))
                                                 : std::string::npos;
  };
  const auto fsyncTemp = at("fsync(" + tempFd + ")");
  const auto closeTemp = at("close(" + tempFd + ")");
  const auto rename = at("rename(\"temp.txt\", \"data.txt\")");
  const auto fsyncDir = at("fsync(" + dirFd + ")");
  ASSERT_NE(fsyncTemp, std::string::npos) << trace;
  ASSERT_NE(rename, std::string::npos) << trace;
  ASSERT_NE(fsyncDir, std::string::npos) << trace;
  EXPECT_LT(fsyncTemp, closeTemp);
  EXPECT_LT(closeTemp, rename);
  EXPECT_LT(rename, fsyncDir);
  EXPECT_EQ(WorkDirectory::read("data.txt"), lineFor(1) + "\r\nold\r\n");
}

TEST(ShiftLogProcess, TwoCopiesWritingAtOnceLoseNoLine) {
  WorkDirectory dir("two-copies");
  const pid_t a = startTool(1, 150);
  const pid_t b = startTool(1001, 150);
  EXPECT_EQ(waitFor(a), 0);
  EXPECT_EQ(waitFor(b), 0);
  const auto all = lines(WorkDirectory::read("data.txt"));
  ASSERT_EQ(all.size(), 300u);
  // Each copy's lines stay newest first among themselves.
  long lastA = 1000000, lastB = 1000000;
  for (const auto& line : all) {
    const long n = std::stol(line.substr(1));
    long& last = n > 1000 ? lastB : lastA;
    EXPECT_LT(n, last) << line;
    last = n;
  }
  EXPECT_FALSE(fs::exists("temp.txt"));
}

TEST(ShiftLogProcess, AKilledWriterLeavesTheOldOrTheNewLogNeverAPartialOne) {
  WorkDirectory dir("kill");
  // A log large enough that killing lands inside the copy, not only between lines.
  std::string seed;
  for (int i = 0; i < 20000; ++i) seed += "seed " + std::to_string(i) + " 1.00 2.00 0 boern \r\n";
  WorkDirectory::write("data.txt", seed);
  const auto seedLines = lines(seed);

  // How long a writer takes to start and log one line here (sanitizer builds
  // start slowly); the kills fall anywhere within a few of those.
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(waitFor(startTool(1, 1)), 0);
  const auto one = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::steady_clock::now() - before)
                       .count();
  std::mt19937 random(12345);
  long written = 1;  // lines the log is known to hold on top of the seed
  int killedMidWrite = 0;
  for (int round = 0; round < 60; ++round) {
    const pid_t pid = startTool(written + 1, 1000);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (3 * one + 1)));
    kill(pid, SIGKILL);
    waitFor(pid);

    ASSERT_TRUE(fs::exists("data.txt")) << "round " << round;
    if (fs::exists("temp.txt")) ++killedMidWrite;
    const auto now = lines(WorkDirectory::read("data.txt"));
    ASSERT_GE(now.size(), seedLines.size() + static_cast<std::size_t>(written));
    const long count = static_cast<long>(now.size() - seedLines.size());
    for (long i = 0; i < count; ++i) {
      ASSERT_EQ(now[static_cast<std::size_t>(i)], lineFor(count - i)) << "round " << round;
    }
    for (std::size_t i = 0; i < seedLines.size(); ++i) {
      ASSERT_EQ(now[static_cast<std::size_t>(count) + i], seedLines[i]) << "round " << round;
    }
    written = count;
  }
  EXPECT_GT(written, 1) << "the writer made progress between kills";
  std::printf("%d of 60 kills left a half-built temp.txt behind; %ld lines logged\n",
              killedMidWrite, written);
}

}  // namespace
