#include <signal.h>

#include "console_session.hpp"

const char* endingReason(const ConsoleClosed& closed) {
  if (closed.signal == 0 || closed.signal == SIGHUP) return "the terminal went away";
  return nullptr;
}

void endLikeTheSignal(const ConsoleClosed& closed) {
  if (closed.signal != SIGINT && closed.signal != SIGTERM) return;
  signal(closed.signal, SIG_DFL);
  raise(closed.signal);
}
