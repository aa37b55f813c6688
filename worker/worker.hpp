// Worker: one thread that runs jobs one after the other, in the order they
// were posted, so the program never waits for a slow device (a printer, a
// voice, a name server).
//
// At most `capacity` jobs wait; posting to a full queue drops the oldest
// waiting job. stop() drops every waiting job and waits for a running one
// at most `deadline`; a job that has not finished by then is left to end
// on its own: the thread is detached, and it owns the job it runs (the
// job owns what it uses through its captures, shared pointers where the
// poster keeps a part too), so nothing it touches is freed under it. A
// dropped job's `dropped` is called on the thread that dropped it (post()
// or stop()), never while the worker's lock is held. The destructor stops
// with kStopDeadline. Jobs must not throw; one that does is ended there.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

class Worker {
 public:
  static constexpr std::chrono::milliseconds kStopDeadline{1500};

  struct Job {
    std::function<void()> run;
    std::function<void()> dropped;  // may be empty
  };

  explicit Worker(std::size_t capacity);
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Ignored after stop() (the job counts as dropped).
  void post(Job job);
  // A job waits or runs.
  bool busy() const;
  // How long the running job has run so far; zero when none runs.
  std::chrono::milliseconds runningFor() const;
  // True when the thread ended within `deadline`, false when a job still
  // ran and was left to itself. A second stop() returns at once.
  bool stop(std::chrono::milliseconds deadline = kStopDeadline);

 private:
  struct State;
  std::shared_ptr<State> state_;
  std::thread thread_;
};
