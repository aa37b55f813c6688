// FollowerThread: a JournalFollower that reads on a thread of its own, so
// a journal on a share that hangs (its server gone, a network that stalls)
// never holds up the display's keys: q ends the display at once whatever a
// read waits for, and a read left hanging at the end is left to itself.
//
// The thread reads when the folder's watch says something changed and
// every kPollMs in any case (as the display's loop did). poll() never
// waits: true when a read since the last poll() changed what the display
// shows, after which day() is what it found, with every call new since
// the last poll() (also those of several reads between two polls). A read
// that hangs leaves day() as it was until it returns. wakeHandle() wakes
// the display's wait for keys when a read found news (see
// Console::wakeOn and WakeSignal).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "journal_follower.hpp"
#include "worker.hpp"

class FollowerThread {
 public:
  static constexpr int kPollMs = 200;
  // The longest the end waits for a read under way.
  static constexpr std::chrono::milliseconds kStopDeadline{300};

  // `follower`: read on the thread from now on; `folder`: watched for
  // changes where the platform can.
  FollowerThread(JournalFollower follower, const std::string& folder);
  ~FollowerThread();
  FollowerThread(const FollowerThread&) = delete;
  FollowerThread& operator=(const FollowerThread&) = delete;

  bool poll();
  const JournalFollower& day() const { return *shown_; }
  std::intptr_t wakeHandle() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::optional<JournalFollower> shown_;
  Worker worker_;
};
