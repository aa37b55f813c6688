#include "announcer.hpp"

#include <array>
#include <chrono>
#include <mutex>
#include <thread>

std::string announcementOf(std::int32_t number, int room, bool again) {
  std::string text = "Nummer ";
  text += std::to_string(number);
  text += ", rum ";
  text += std::to_string(room);
  if (again) text += ", igen";
  return text;
}

// The voice and what it said: the worker's jobs hold them too.
struct Announcer::Shared {
  Speak speak;
  std::chrono::milliseconds pause;
  std::mutex mutex;
  bool failed = false;
  int failures = 0;
  std::string problem;
  std::array<std::uint64_t, 6> newest{};  // per room: the latest call's id
  std::uint64_t calls = 0;
  std::chrono::steady_clock::time_point lastEnd{};
};

Announcer::Announcer(Speak speak, int pauseMs)
    : shared_(std::make_shared<Shared>()), worker_(kWaitingCalls) {
  shared_->speak = std::move(speak);
  shared_->pause = std::chrono::milliseconds(pauseMs);
}

Announcer::~Announcer() {
  worker_.stop();
}

void Announcer::announce(std::string text, int room, double ageSeconds) {
  const auto slot = static_cast<std::size_t>(room >= 0 && room <= 5 ? room : 0);
  std::uint64_t id = 0;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    id = ++shared_->calls;
    shared_->newest[slot] = id;
  }
  const auto read = std::chrono::steady_clock::now() - std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                            std::chrono::duration<double>(ageSeconds));
  worker_.post(Worker::Job{
      [shared = shared_, text = std::move(text), slot, id, read] {
        {
          std::lock_guard<std::mutex> lock(shared->mutex);
          // Replaced by a later call to the room, or too old to be news.
          if (slot != 0 && shared->newest[slot] != id) return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - read > std::chrono::duration<double>(kStaleSeconds)) return;
        std::chrono::steady_clock::time_point lastEnd;
        {
          std::lock_guard<std::mutex> lock(shared->mutex);
          lastEnd = shared->lastEnd;
        }
        if (now < lastEnd + shared->pause) std::this_thread::sleep_until(lastEnd + shared->pause);
        std::string problem;
        const bool spoken = shared->speak(text, problem);
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->lastEnd = std::chrono::steady_clock::now();
        shared->failed = !spoken;
        if (!spoken) {
          ++shared->failures;
          shared->problem = problem;
        }
      },
      {}});
}

bool Announcer::hung() {
  return worker_.runningFor().count() > kLongestCallMs;
}

bool Announcer::failed() {
  if (hung()) return true;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->failed;
}

int Announcer::failures() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->failures;
}

std::string Announcer::problem() {
  if (hung()) return "Kan ikke tale: talesyntesen svarer ikke";
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->problem;
}
