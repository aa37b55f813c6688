// rum: one technician's shift in one room.
//
// Created by the arrival command with the room (1..5), the name as typed
// (0..15 bytes), the category (Adult or Child) and a link to that
// category's number series, which the front desk owns and which outlives
// the shift. The start time is the ClockValue of the moment of creation.
// callNext() must only be called while the linked series is not empty.
#pragma once

#include <cstdint>
#include <string>

#include "clock_value.hpp"
#include "nummerserie.hpp"

class rum {
 public:
  rum(int room, std::string name, int category, nummerserie* queue, DeskClock clock);
  // A shift taken up again as a journal kept it: its own start and samples.
  rum(int room, std::string name, int category, nummerserie* queue, DeskClock clock,
      double startTime, std::int32_t samples);

  // One more patient called into the room: the oldest number of the series.
  std::int32_t callNext();

  int getRoom() const { return room_; }
  int getCategory() const { return category_; }
  std::string getName() const { return name_; }
  std::int32_t getSamples() const { return samples_; }
  double getStartTime() const { return startTime_; }
  double currentTime() const { return clockValueOf(clock_()); }

 private:
  int room_;
  std::int32_t samples_ = 0;
  int category_;
  DeskClock clock_;
  double startTime_;
  std::string name_;
  nummerserie* queue_;
};
