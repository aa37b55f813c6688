// Prints the time of one F2's file work (the whole log is rewritten, then
// fsynced and renamed) against logs of growing size: a measured figure,
// never a pass/fail test.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "shift_log.hpp"

namespace fs = std::filesystem;

int main(int, char** argv) {
  // Beside the binary, so the figures are for a real disk rather than /tmp.
  const fs::path dir = fs::absolute(fs::path(argv[0])).parent_path() / "shift-log-bench";
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::current_path(dir);
  std::printf("One F2 (add a line at the top of data.txt), median of 3, in %s\n",
              dir.string().c_str());
  ShiftLog log;
  for (const long lines : {1'000L, 100'000L, 1'000'000L}) {
    {
      std::ofstream out("data.txt", std::ios::binary);
      const std::string line = "Anne Marie 8.30 15.45 37 voksne \r\n";
      for (long i = 0; i < lines; ++i) out << line;
    }
    std::vector<double> ms;
    for (int run = 0; run < 3; ++run) {
      const auto start = std::chrono::steady_clock::now();
      if (!log.add("Hans 8.30 10.15 3 voksne \r\n")) {
        std::printf("  failed: %s\n", log.lastError().c_str());
        return 1;
      }
      ms.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count());
    }
    std::sort(ms.begin(), ms.end());
    const double megabytes = static_cast<double>(fs::file_size("data.txt")) / 1e6;
    std::printf("  %9ld lines (%7.2f MB): %9.2f ms\n", lines, megabytes, ms[1]);
  }
  fs::current_path(dir.parent_path());
  fs::remove_all(dir);
  return 0;
}
