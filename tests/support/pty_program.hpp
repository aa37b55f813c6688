// PtyProgram: a program in a pseudo-terminal of its own, for tests that
// start, kill and restart a real process many times (faster than a tmux
// server per start). What the program writes is replayed into a VtModel;
// the terminal answers the primary device attributes query as xterm does.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "vt_model.hpp"

class PtyProgram {
 public:
  // Starts `argv` in `directory` with `environment` added, in an 80 x 25
  // terminal.
  PtyProgram(const std::vector<std::string>& argv, const std::string& directory,
             const std::vector<std::string>& environment);
  ~PtyProgram();
  PtyProgram(const PtyProgram&) = delete;
  PtyProgram& operator=(const PtyProgram&) = delete;

  void send(const std::string& bytes);
  // Reads what the program wrote until `done` holds; false after `timeout`.
  bool waitFor(const std::function<bool(const VtModel&)>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Reads what the program has written so far, without waiting (a test
  // that drives several programs keeps each one's terminal drained).
  void pump() { read(0); }
  // Sends the signal and waits for the end; the terminal stays open.
  void signal(int number);
  // Closes the terminal, as closing its window does (SIGHUP), and waits.
  void hangUp();
  pid_t pid() const { return pid_; }

  VtModel screen{80, 25};
  std::size_t bytesRead = 0;  // all the program wrote so far

 private:
  void read(int timeoutMs);
  void reap();

  pid_t pid_ = -1;
  int master_ = -1;
  std::string seen_;  // the tail of the output, for queries split across reads
};
