#include "printer_link.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

bool finishedWithin(int ms, std::function<void()> task) {
  struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
  };
  auto done = std::make_shared<Done>();
  std::thread([done, task = std::move(task)] {
    task();
    std::lock_guard<std::mutex> lock(done->mutex);
    done->done = true;
    done->cv.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(done->mutex);
  return done->cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done->done; });
}
