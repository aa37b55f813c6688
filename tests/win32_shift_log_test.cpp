// The shift log on Windows' own file calls: a departure puts its line on
// top of data.txt, two writers at once take turns, and a reader that holds
// the file for a moment only delays a replacement.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <thread>
#include <vector>

#include <algorithm>

#include "desk_driver.hpp"
#include "file_replacement.hpp"
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

// A read-only data.txt is replaced as on Linux and stays read-only.
TEST_F(Win32ShiftLog, AReadOnlyLogIsReplacedAndStaysReadOnly) {
  WorkDirectory::write("data.txt", "old 1.00 2.00 4 voksne \r\n");
  ASSERT_TRUE(SetFileAttributesA("data.txt", FILE_ATTRIBUTE_READONLY));
  ShiftLog log;
  ASSERT_TRUE(log.add("new 3.00 4.00 0 boern \r\n")) << log.lastError();
  EXPECT_EQ(WorkDirectory::read("data.txt"),
            "new 3.00 4.00 0 boern \r\nold 1.00 2.00 4 voksne \r\n");
  EXPECT_TRUE(GetFileAttributesA("data.txt") & FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA("data.txt", FILE_ATTRIBUTE_NORMAL);
}

// Adds a line on top of the log at `path`, as F2 does.
bool addAt(const std::string& path, const std::string& line, std::string& error) {
  FileReplacement file;
  bool ok = file.begin(path, "temp.txt") && file.write(line);
  char buffer[4096];
  for (long long n; ok && (n = file.readOld(buffer, sizeof buffer)) != 0;) {
    ok = n > 0 && file.write(std::string_view(buffer, static_cast<std::size_t>(n)));
  }
  ok = ok && file.commit();
  error = file.error();
  return ok;
}

// The folder by another name: under Wine its Unix path on drive Z:, on
// Windows a drive letter of its own (subst); empty when there is none.
std::string anotherNameOf(const std::string& folder) {
  using UnixName = char*(CDECL*)(const WCHAR*);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  if (unixName) {
    std::wstring wide(folder.begin(), folder.end());
    char* path = unixName(wide.c_str());
    if (!path) return {};
    std::string name = std::string("Z:") + path;
    HeapFree(GetProcessHeap(), 0, path);
    for (char& c : name) c = c == '/' ? '\\' : c;
    return name;
  }
  return DefineDosDeviceA(0, "M:", folder.c_str()) ? "M:" : "";
}

// Copies reaching one folder by two names take turns: the lock is a lock
// on a file in the folder, not on the folder's name.
TEST_F(Win32ShiftLog, TwoNamesOfOneFolderTakeTurns) {
  const std::string full = dir.path().string();
  const std::string other = anotherNameOf(full);
  if (other.empty()) GTEST_SKIP() << "no second name for the folder here";
  constexpr int kLines = 30;
  bool failed[2] = {false, false};
  const auto writer = [&](const std::string& path, char who, bool& fails) {
    std::string error;
    for (int i = 0; i < kLines && !fails; ++i) {
      fails =
          !addAt(path, std::string(1, who) + std::to_string(i) + " 1.00 2.00 0 voksne \r\n", error);
    }
  };
  std::thread a(writer, full + "\\data.txt", 'a', std::ref(failed[0]));
  std::thread b(writer, other + "\\data.txt", 'b', std::ref(failed[1]));
  a.join();
  b.join();
  if (other == "M:") DefineDosDeviceA(DDD_REMOVE_DEFINITION, "M:", nullptr);
  EXPECT_FALSE(failed[0] || failed[1]) << other;
  const std::string log = WorkDirectory::read("data.txt");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2 * kLines) << other;
}

// A folder deeper than MAX_PATH leaves for its files' full names.
TEST_F(Win32ShiftLog, AFolderDeeperThanMaxPath) {
  const std::wstring top = L"\\\\?\\" + dir.path().wstring();
  std::wstring deep = top;
  std::string ansi = dir.path().string();
  // Removed in the long form, however the test ends: the work folder's
  // own removal cannot reach that deep.
  struct Cleanup {
    const std::wstring& top;
    std::wstring& deep;
    ~Cleanup() {
      for (; deep.size() > top.size(); deep.resize(deep.rfind(L'\\'))) {
        for (const wchar_t* name : {L"\\data.txt", L"\\morvalis.lock", L"\\temp.txt"}) {
          DeleteFileW((deep + name).c_str());
        }
        RemoveDirectoryW(deep.c_str());
      }
    }
  } cleanup{top, deep};
  while (ansi.size() < MAX_PATH + 20) {
    deep += L"\\folder-of-a-long-name";
    ansi += "\\folder-of-a-long-name";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
  }
  std::string error;
  ASSERT_TRUE(addAt(ansi + "\\data.txt", "deep 1.00 2.00 0 voksne \r\n", error)) << error;
  ASSERT_TRUE(addAt(ansi + "\\data.txt", "again 1.00 2.00 0 voksne \r\n", error)) << error;
}

}  // namespace

namespace {

// A reader that has the file open without sharing its removal for a moment
// (a virus scanner, the indexer) delays a replacement; one that holds it
// for good makes it fail, with the old file as it was.
TEST_F(Win32ShiftLog, AReplacementWaitsAMomentForAReaderThatHoldsTheFile) {
  for (const DWORD heldMs : {DWORD{30}, DWORD{INFINITE}}) {
    WorkDirectory::write("a.txt", "old");
    WorkDirectory::write("b.tmp", "new");
    const HANDLE held = CreateFileW(L"a.txt", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread reader([&] {
      if (heldMs != INFINITE) {
        Sleep(heldMs);
        CloseHandle(held);
      }
    });
    const bool replaced = FileSystem::real().replace("b.tmp", "a.txt");
    reader.join();
    if (heldMs == INFINITE) CloseHandle(held);
    EXPECT_EQ(replaced, heldMs != INFINITE) << heldMs;
    EXPECT_EQ(WorkDirectory::read("a.txt"), replaced ? "new" : "old");
    fs::remove("b.tmp");
  }
}

}  // namespace
