// Prints how long F3, F3 and F4 take on the desk (in memory, no terminal)
// without a printer and with a printer that never answers (each ticket
// hangs for 5 s in the printer's thread): the keys must not feel it.
// Measured figures, never a pass/fail test.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "desk_driver.hpp"
#include "ticket_printer.hpp"

namespace {

// Microseconds of each of `rounds` rounds of F3 v, F3 b, F4 1.
std::vector<double> rounds(TicketPrinter* printer, int count) {
  DeskDriver d(printer);
  d.arrive(1, 'v', "A").runAndCrash();
  std::vector<double> took;
  for (int i = 0; i < count; ++i) {
    d.key(3).press({'v'}).key(3).press({'b'}).key(4).press({'1'});
    const auto start = std::chrono::steady_clock::now();
    d.runAndCrash();
    took.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(took.begin(), took.end());
  return took;
}

}  // namespace

int main() {
  const auto dir = std::filesystem::current_path() / "ticket-bench";
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  const auto without = rounds(nullptr, 200);
  TicketPrinter silent("192.0.2.1:9100", [](const std::string&, const std::string&) {
    std::this_thread::sleep_for(std::chrono::seconds(5));
    return PrintResult{PrintOutcome::NoAnswer, "printeren svarer ikke"};
  });
  const auto with = rounds(&silent, 200);
  std::printf("F3, F3, F4 on the desk (in memory), median and worst of 200 rounds:\n");
  std::printf("  without a printer:                  %6.0f us, %6.0f us\n", without[100], without.back());
  std::printf("  with a printer that never answers:  %6.0f us, %6.0f us (16 tickets wait, older ones dropped and said)\n",
              with[100], with.back());
  std::filesystem::current_path(dir.parent_path());
  std::filesystem::remove_all(dir);
  std::fflush(stdout);
  std::_Exit(0);  // the printer's thread sleeps on; nothing to wait for
}
