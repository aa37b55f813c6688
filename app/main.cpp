// The program entry: takes the terminal, runs the front desk until ESC, and
// gives the terminal back however the run ends.
#include <signal.h>

#include <cstdio>
#include <exception>

#include "console.hpp"
#include "front_desk.hpp"
#include "terminal.hpp"

int main() {
  std::string error;
  auto session = TerminalSession::open(error);
  if (!session) {
    std::fprintf(stderr, "morvalis: %s\n", error.c_str());
    return 1;
  }
  Console::attach(&session->device());
  int status = 0;
  int endingSignal = 0;
  const char* reason = nullptr;
  try {
    FrontDesk desk;
    desk.run();
  } catch (const ConsoleClosed& closed) {
    endingSignal = closed.signal;
    status = 1;
    if (closed.signal == 0 || closed.signal == SIGHUP) reason = "the terminal went away";
  } catch (const std::exception& e) {
    status = 1;
    reason = e.what();
  }
  Console::attach(nullptr);
  session.reset();  // the terminal is given back before anything else is said
  if (reason) std::fprintf(stderr, "morvalis: %s\n", reason);
  if (endingSignal == SIGINT || endingSignal == SIGTERM) {
    // End the way the signal would have, so the shell sees it.
    signal(endingSignal, SIG_DFL);
    raise(endingSignal);
  }
  return status;
}
