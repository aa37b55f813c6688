// Prints what the terminal receives for a fixed run of key presses: write()
// calls and bytes per key press, and the start screen's bytes beside the
// anchor (ncurses sends 2,664 bytes for the same screen with
// TERM=xterm-256color). Measured figures, never a pass/fail test.
#include <cstdio>
#include <map>
#include <vector>

#include "front_desk.hpp"
#include "presenter_face.hpp"

namespace {

struct Press {
  const char* what;
  std::vector<int> codes;
};

const Press kPresses[] = {
    {"F3 (marker, panel, prompt)", {0, 61}},
    {"v (number, counts)", {'v'}},
    {"F3 again (marker stays)", {0, 61}},
    {"b", {'b'}},
    {"F1 (arrival form)", {0, 59}},
    {"2", {'2'}},
    {"v", {'v'}},
    {"B (name)", {'B'}},
    {"Enter (room turns red)", {13}},
    {"F4 (call prompt)", {0, 62}},
    {"2 (called, counts)", {'2'}},
    {"F5 (status prompt)", {0, 63}},
    {"2 (shift figures)", {'2'}},
    {"F4", {0, 62}},
    {"4 (free room: error box)", {'4'}},
    {"x (box closes)", {'x'}},
};

void report(const char* terminal, TerminalRenderer::Options options) {
  std::vector<std::vector<int>> presses;
  for (const Press& p : kPresses) presses.push_back(p.codes);
  std::map<int, std::pair<int, std::size_t>> sent;  // press: writes, bytes
  PresenterFace face(
      80, 25, presses,
      [&](int press, const std::string& bytes) {
        auto& [writes, total] = sent[press];
        ++writes;
        total += bytes.size();
      },
      options);
  FrontDesk desk;
  try {
    desk.run();
  } catch (const ConsoleClosed&) {
    // the script ends after the last press
  }
  std::printf("%s\n", terminal);
  std::printf("  %-32s %d write, %5zu bytes (ncurses: 2664)\n", "start screen:", sent[-1].first,
              sent[-1].second);
  for (int p = 0; p < static_cast<int>(std::size(kPresses)); ++p) {
    // What a key press changes goes out when the program waits for the next key.
    const auto [writes, bytes] = sent[p];
    std::printf("  %-32s %d write, %5zu bytes\n", kPresses[p].what, writes, bytes);
  }
}

}  // namespace

int main() {
  std::printf("Writes and bytes sent to the terminal per key press\n");
  report("terminal that erases in the current colour (xterm, tmux, VTE, Linux console):", {});
  report("terminal that erases in its default colour (GNU screen):",
         {.eraseUsesBackground = false, .linuxCursor = false});
  return 0;
}
