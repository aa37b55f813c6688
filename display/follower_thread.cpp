#include "follower_thread.hpp"

#include <condition_variable>
#include <mutex>
#include <optional>

#include "file_watch.hpp"
#include "wake_signal.hpp"

// What the thread and the display share; the thread's job holds it too,
// so a read left hanging at the end still has all it uses.
struct FollowerThread::Shared {
  Shared(JournalFollower follower, const std::string& folder) : reading(std::move(follower)), watch(folder) {}

  JournalFollower reading;  // the thread's own
  FileWatch watch;
  std::mutex mutex;
  std::condition_variable woken;
  bool stop = false;
  bool first = false;                    // the first read is done
  std::optional<JournalFollower> found;  // read, not yet taken by poll()
  WakeSignal wake;

  void run() {
    for (;;) {
      if (reading.poll()) {
        JournalFollower copy = reading;
        std::lock_guard<std::mutex> lock(mutex);
        if (found) copy.keepCallsOf(*found);
        found.emplace(std::move(copy));
        wake.signal();
      }
      std::unique_lock<std::mutex> lock(mutex);
      if (!first) {
        first = true;
        woken.notify_all();
      }
      if (stop) return;
      // The folder's news at once where it is watched, else the next look.
      if (watch.handle() >= 0) {
        lock.unlock();
        if (watch.wait(kPollMs)) watch.drain();
        lock.lock();
        if (stop) return;
        continue;
      }
      woken.wait_for(lock, std::chrono::milliseconds(kPollMs), [this] { return stop; });
      if (stop) return;
    }
  }
};

FollowerThread::FollowerThread(JournalFollower follower, const std::string& folder)
    : shared_(std::make_shared<Shared>(follower, folder)), shown_(std::move(follower)), worker_(1) {
  worker_.post(Worker::Job{[shared = shared_] { shared->run(); }, {}});
  // The first picture from the first read, when it comes soon.
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->woken.wait_for(lock, std::chrono::milliseconds(2 * kPollMs), [this] { return shared_->first; });
}

FollowerThread::~FollowerThread() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stop = true;
  }
  shared_->woken.notify_all();
  worker_.stop(kStopDeadline);
}

bool FollowerThread::poll() {
  shared_->wake.drain();
  std::optional<JournalFollower> found;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->found) found.emplace(std::move(*shared_->found));
    shared_->found.reset();
  }
  if (!found) return false;
  shown_.emplace(std::move(*found));
  return true;
}

std::intptr_t FollowerThread::wakeHandle() const {
  return shared_->wake.handle();
}
