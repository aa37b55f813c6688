#include "worker.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

struct Worker::State {
  std::mutex mutex;
  std::condition_variable wake;  // a job or the end
  std::condition_variable idle;  // the running job is done
  std::deque<Job> queue;
  std::size_t capacity = 1;
  bool ending = false;
  bool running = false;
  std::chrono::steady_clock::time_point since;
};

namespace {

void dropAll(std::vector<Worker::Job>& jobs) {
  for (auto& job : jobs) {
    if (job.dropped) job.dropped();
  }
}

}  // namespace

Worker::Worker(std::size_t capacity) : state_(std::make_shared<State>()) {
  state_->capacity = capacity == 0 ? 1 : capacity;
  // The thread holds the state itself, so a detached thread never outlives it.
  thread_ = std::thread([state = state_] {
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
      state->wake.wait(lock, [&] { return state->ending || !state->queue.empty(); });
      if (state->ending) return;
      Job job = std::move(state->queue.front());
      state->queue.pop_front();
      state->running = true;
      state->since = std::chrono::steady_clock::now();
      lock.unlock();
      try {
        job.run();
      } catch (...) {
      }
      job = Job{};  // what the job held goes before the worker says it is idle
      lock.lock();
      state->running = false;
      state->idle.notify_all();
    }
  });
}

Worker::~Worker() {
  stop();
}

void Worker::post(Job job) {
  std::vector<Job> dropped;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->ending) {
      dropped.push_back(std::move(job));
    } else {
      while (state_->queue.size() >= state_->capacity) {
        dropped.push_back(std::move(state_->queue.front()));
        state_->queue.pop_front();
      }
      state_->queue.push_back(std::move(job));
    }
  }
  state_->wake.notify_all();
  dropAll(dropped);
}

bool Worker::busy() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->running || !state_->queue.empty();
}

std::chrono::milliseconds Worker::runningFor() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->running) return std::chrono::milliseconds(0);
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               state_->since);
}

bool Worker::stop(std::chrono::milliseconds deadline) {
  if (!thread_.joinable()) return true;
  std::vector<Job> dropped;
  bool finished = false;
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->ending = true;
    dropped.assign(std::make_move_iterator(state_->queue.begin()),
                   std::make_move_iterator(state_->queue.end()));
    state_->queue.clear();
    state_->wake.notify_all();
    finished = state_->idle.wait_for(lock, deadline, [&] { return !state_->running; });
  }
  if (finished) {
    thread_.join();
  } else {
    thread_.detach();
  }
  dropAll(dropped);
  return finished;
}
