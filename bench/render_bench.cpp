// Prints how many bytes the terminal receives for the main steps of a run,
// as measured figures (never a pass/fail test). The anchor: ncurses sends
// about 2,700 bytes for the same start screen with TERM=xterm-256color.
#include <cstdio>
#include <deque>
#include <vector>

#include "console.hpp"
#include "front_desk.hpp"
#include "terminal_renderer.hpp"

namespace {

// Renders like the real terminal and counts the bytes sent between key reads.
class CountingFace : public ConsoleFace {
 public:
  CountingFace(std::deque<int> keys, TerminalRenderer::Options options)
      : renderer_(options), keys_(std::move(keys)), device_(80, 25, 0x07, *this) {
    renderer_.invalidate(80, 25);
    Console::attach(&device_);
  }
  ~CountingFace() override { Console::attach(nullptr); }

  void present(const ScreenState& state) override {
    std::string out;
    renderer_.render(state, out);
    steps_.back() += out.size();
  }
  int nextKeyCode() override {
    if (keys_.empty()) throw ConsoleClosed{};
    steps_.push_back(0);
    const int code = keys_.front();
    keys_.pop_front();
    return code;
  }
  // Bytes sent before the first key read, then after each key read.
  const std::vector<std::size_t>& steps() const { return steps_; }

 private:
  TerminalRenderer renderer_;
  std::deque<int> keys_;
  std::vector<std::size_t> steps_{0};
  ConsoleDevice device_;
};

void report(const char* terminal, TerminalRenderer::Options options) {
  // F3 and 'v', F3 again (the marker stays) and 'b', F5, ESC.
  CountingFace face({0, 61, 'v', 0, 61, 'b', 0, 63}, options);
  FrontDesk desk;
  try {
    desk.run();
  } catch (const ConsoleClosed&) {
    // F5 waits for its room: the script ends there.
  }
  const auto& s = face.steps();
  std::printf("%s\n", terminal);
  std::printf("  start screen:                      %5zu bytes\n", s[0]);
  std::printf("  F3: marker move, panel blanking,\n");
  std::printf("      and the category prompt:       %5zu bytes\n", s[2]);
  std::printf("  F3 answer ('v': number and counts): %4zu bytes\n", s[3]);
  std::printf("  F3 again (marker stays), prompt:   %5zu bytes\n", s[5]);
  std::printf("  F5: marker move, room prompt:      %5zu bytes\n", s[8]);

  CountingFace box({'x'}, options);
  MainScreen screen;
  screen.drawScreen();
  Console::setCursorShape(CursorShape::Hidden);
  const std::size_t drawn = box.steps()[0];
  screen.showErrorBox();
  std::printf("  error box shown:                   %5zu bytes\n", box.steps()[0] - drawn);
  std::printf("  error box removed:                 %5zu bytes\n", box.steps()[1]);
}

}  // namespace

int main() {
  std::printf("Bytes sent to the terminal (anchor: ncurses, about 2,700 for the start screen)\n");
  report("terminal that erases in the current colour (xterm, tmux, Linux console):", {});
  report("terminal that erases in its default colour (GNU screen):",
         {.eraseUsesBackground = false, .linuxCursor = false});
  return 0;
}
