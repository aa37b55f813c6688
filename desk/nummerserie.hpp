// nummerserie: one patient category's first-in, first-out series of issued
// numbers, with its own running counter.
//
// enqueue issues counter + 1 (the first number is 1) and appends it; dequeue
// removes and returns the oldest waiting number, and must only be called
// when length() > 0. From the oldest to the newest entry the waiting numbers
// are counter - length + 1 .. counter. Nothing lowers the counter, so a
// number is issued at most once per run.
#pragma once

#include <cstdint>
#include <memory>

struct patient {
  explicit patient(std::int32_t n) : number(n) {}
  std::unique_ptr<patient> next;  // the entry issued after this one
  std::int32_t number;
};

class nummerserie {
 public:
  nummerserie() = default;
  ~nummerserie();
  nummerserie(const nummerserie&) = delete;
  nummerserie& operator=(const nummerserie&) = delete;

  // A series that has issued `counter` numbers of which the last `waiting`
  // still wait (0 <= waiting <= counter); only on a series that has issued
  // nothing yet.
  void restore(std::int32_t counter, std::int32_t waiting);
  std::int32_t enqueue();
  std::int32_t dequeue();
  std::int32_t length() const { return length_; }
  std::int32_t counter() const { return counter_; }

 private:
  std::unique_ptr<patient> head_;  // oldest waiting entry
  patient* tail_ = nullptr;        // newest waiting entry
  std::int32_t counter_ = 0;       // last number issued
  std::int32_t lastCalled_ = 0;    // number taken by the latest dequeue
  std::int32_t length_ = 0;
};
