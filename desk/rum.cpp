#include "rum.hpp"

#include <utility>

rum::rum(int room, std::string name, int category, nummerserie* queue, DeskClock clock)
    : room_(room),
      category_(category),
      clock_(std::move(clock)),
      startTime_(currentTime()),
      name_(std::move(name)),
      queue_(queue) {}

rum::rum(int room, std::string name, int category, nummerserie* queue, DeskClock clock,
         double startTime, std::int32_t samples)
    : room_(room),
      samples_(samples),
      category_(category),
      clock_(std::move(clock)),
      startTime_(startTime),
      name_(std::move(name)),
      queue_(queue) {}

std::int32_t rum::callNext() {
  ++samples_;
  return queue_->dequeue();
}
