#include "announcer.hpp"

std::string announcementOf(std::int32_t number, int room) {
  return "Nummer " + std::to_string(number) + ", rum " + std::to_string(room);
}

Announcer::Announcer(Speak speak) : speak_(std::move(speak)), thread_([this] { work(); }) {}

Announcer::~Announcer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

void Announcer::announce(std::string text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failed_) return;
    queue_.push_back(std::move(text));
  }
  wake_.notify_all();
}

bool Announcer::failed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

std::string Announcer::problem() {
  std::lock_guard<std::mutex> lock(mutex_);
  return problem_;
}

void Announcer::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
    if (ending_) return;
    const std::string text = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    std::string problem;
    const bool spoken = speak_(text, problem);
    lock.lock();
    if (!spoken) {
      failed_ = true;
      problem_ = problem;
      queue_.clear();
    }
  }
}
