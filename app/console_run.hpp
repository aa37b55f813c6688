// Runs a program's work on the console of this platform, shared by both
// entries: takes the console (refused in a window smaller than `minimum`),
// runs `work`, and gives the console back however the work ends before a
// word is said on standard error (the work's own last words, `afterwards`,
// too); then ends the process as the signal that ended the run would have. Returns the exit status: 0 when the work
// returned, 1 when the console could not be had or went away.
#pragma once

#include <cstdio>
#include <exception>
#include <functional>
#include <string>

#include "console.hpp"
#include "console_session.hpp"
#include "file_system.hpp"
#ifdef _WIN32
#include "stop_request.hpp"
#endif

inline int runOnConsole(MinimumSize minimum, const std::function<void()>& work,
                        const std::function<void()>& afterwards = {}) {
  std::string error;
  auto session = ConsoleSession::open(error, minimum);
  if (!session) {
    std::fprintf(stderr, "%s: %s\n", minimum.program, error.c_str());
    return 1;
  }
  Console::attach(&session->device());
#ifdef _WIN32
  // Ctrl+C or the window closed also ends a wait for the folder's turn.
  FileSystem::endWaitsWhen(stopRequested);
#endif
  int status = 0;
  ConsoleClosed ending;
  const char* reason = nullptr;
  try {
    work();
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
  if (reason) std::fprintf(stderr, "%s: %s\n", minimum.program, reason);
  if (afterwards) afterwards();
  endLikeTheSignal(ending);
  return status;
}
