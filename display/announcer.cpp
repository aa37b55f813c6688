#include "announcer.hpp"

std::string announcementOf(std::int32_t number, int room) {
  return "Nummer " + std::to_string(number) + ", rum " + std::to_string(room);
}

Announcer::Announcer(Speak speak) : speak_(std::move(speak)), thread_([this] { work(); }) {}

Announcer::~Announcer() {
  bool hung = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
    queue_.clear();
    hung = speaking_ && std::chrono::steady_clock::now() - speakingSince_ >
                            std::chrono::milliseconds(kLongestCallMs);
  }
  wake_.notify_all();
  // A call being spoken ends first; a voice that hangs is not waited for.
  if (hung) {
    thread_.detach();
  } else {
    thread_.join();
  }
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
  if (!failed_ && speaking_ &&
      std::chrono::steady_clock::now() - speakingSince_ > std::chrono::milliseconds(kLongestCallMs)) {
    failed_ = true;
    problem_ = "Kan ikke tale: talesyntesen svarer ikke";
    queue_.clear();
  }
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
    speaking_ = true;
    speakingSince_ = std::chrono::steady_clock::now();
    lock.unlock();
    std::string problem;
    const bool spoken = speak_(text, problem);
    lock.lock();
    speaking_ = false;
    if (failed_) return;  // given up on meanwhile
    if (!spoken) {
      failed_ = true;
      problem_ = problem;
      queue_.clear();
    }
  }
}
