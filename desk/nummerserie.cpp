#include "nummerserie.hpp"

nummerserie::~nummerserie() {
  // One entry at a time: letting the chain of owners destroy itself would
  // recurse once per waiting patient.
  while (head_) head_ = std::move(head_->next);
}

void nummerserie::restore(std::int32_t counter, std::int32_t waiting) {
  counter_ = counter - waiting;
  for (std::int32_t i = 0; i < waiting; ++i) enqueue();
}

std::int32_t nummerserie::enqueue() {
  ++counter_;
  auto entry = std::make_unique<patient>(counter_);
  patient* added = entry.get();
  if (length_ == 0) {
    head_ = std::move(entry);
  } else {
    tail_->next = std::move(entry);
  }
  tail_ = added;
  ++length_;
  return counter_;
}

std::int32_t nummerserie::dequeue() {
  lastCalled_ = head_->number;
  head_ = std::move(head_->next);
  if (!head_) tail_ = nullptr;
  --length_;
  return lastCalled_;
}
