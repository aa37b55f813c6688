// The program entry: takes the console, runs the front desk until ESC, and
// gives the console back however the run ends.
#include <cstdio>
#include <exception>

#include "console.hpp"
#include "console_session.hpp"
#include "front_desk.hpp"

int main() {
  std::string error;
  auto session = ConsoleSession::open(error);
  if (!session) {
    std::fprintf(stderr, "morvalis: %s\n", error.c_str());
    return 1;
  }
  Console::attach(&session->device());
  int status = 0;
  ConsoleClosed ending;
  const char* reason = nullptr;
  try {
    FrontDesk desk;
    desk.run();
  } catch (const ConsoleClosed& closed) {
    ending = closed;
    status = 1;
    reason = endingReason(closed);
  } catch (const std::exception& e) {
    status = 1;
    reason = e.what();
  }
  Console::attach(nullptr);
  session.reset();  // the console is given back before anything else is said
  if (reason) std::fprintf(stderr, "morvalis: %s\n", reason);
  endLikeTheSignal(ending);
  return status;
}
