// WakeSignal: how a thread that found news (a store's listener, a journal
// read on a thread of its own) wakes the wait for keys at once (see
// Console::wakeOn): a pipe on POSIX, whose read end the terminal's wait
// polls beside the keys; an auto-reset event on Windows, which the
// console's wait waits on beside its input. signal() never blocks and may
// be called from any thread; drain() takes what was signalled, so the next
// wait waits again (an event is reset by the wait that saw it). handle()
// is -1 when none could be made: the waiter then has to look now and then.
#pragma once

#include <cstdint>

class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  void signal();
  void drain();
  std::intptr_t handle() const;

 private:
#ifdef _WIN32
  void* event_ = nullptr;
#else
  int fds_[2] = {-1, -1};
#endif
};
