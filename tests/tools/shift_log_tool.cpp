// Test tool: adds lines to the shift log of the working directory the way
// F2 does, so tests can trace, race and kill a real process doing it.
//   shift_log_tool FIRST COUNT   adds "n<FIRST>" .. "n<FIRST+COUNT-1>" shift lines
// Exit status 0 when every line was added, 1 otherwise.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shift_log.hpp"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: shift_log_tool FIRST COUNT\n");
    return 2;
  }
  const long first = std::atol(argv[1]);
  const long count = std::atol(argv[2]);
  ShiftLog log;
  for (long i = first; i < first + count; ++i) {
    if (!log.add("n" + std::to_string(i) + " 8.00 9.00 0 voksne \r\n")) {
      std::fprintf(stderr, "shift_log_tool: %s\n", log.lastError().c_str());
      return 1;
    }
  }
  return 0;
}
