#include "announcer.hpp"

#include <mutex>

std::string announcementOf(std::int32_t number, int room) {
  return "Nummer " + std::to_string(number) + ", rum " + std::to_string(room);
}

// The voice and what it said: the worker's job holds them too.
struct Announcer::Shared {
  Speak speak;
  std::mutex mutex;
  bool failed = false;
  std::string problem;
};

Announcer::Announcer(Speak speak) : shared_(std::make_shared<Shared>()), worker_(kWaitingCalls) {
  shared_->speak = std::move(speak);
}

Announcer::~Announcer() {
  worker_.stop();
}

void Announcer::announce(std::string text) {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->failed) return;
  }
  worker_.post(Worker::Job{[shared = shared_, text = std::move(text)] {
                             {
                               std::lock_guard<std::mutex> lock(shared->mutex);
                               if (shared->failed) return;
                             }
                             std::string problem;
                             const bool spoken = shared->speak(text, problem);
                             std::lock_guard<std::mutex> lock(shared->mutex);
                             if (!spoken && !shared->failed) {
                               shared->failed = true;
                               shared->problem = problem;
                             }
                           },
                           {}});
}

bool Announcer::failed() {
  const bool hung = worker_.runningFor().count() > kLongestCallMs;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (!shared_->failed && hung) {
    shared_->failed = true;
    shared_->problem = "Kan ikke tale: talesyntesen svarer ikke";
  }
  return shared_->failed;
}

std::string Announcer::problem() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->problem;
}
