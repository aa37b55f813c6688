// FrontDesk: the whole running state of the program and its key loop.
//
// Owns the screen layout (it is a MainScreen, so every screen operation
// applies to it), the two number series (queues[0] adults, queues[1]
// children; the series of category c is queues[c - 1]) and the shifts open
// in the five rooms (rooms[r - 1] for room r; empty means free). It reads
// the time of day from `clock` and writes finished shifts to `shiftLog`. run() draws the
// screen once and reads keys until ESC (or an extended key whose second
// code is 27); F1..F5 (0 then 59..63) move the menu marker, blank the panel
// and run their command; every other code is ignored. run() lets a
// ConsoleClosed from the key read pass to its caller.
#pragma once

#include <array>
#include <memory>

#include "console.hpp"

#include "clock_value.hpp"
#include "main_screen.hpp"
#include "nummerserie.hpp"
#include "rum.hpp"
#include "shift_log.hpp"

class FrontDesk : public MainScreen {
 public:
  explicit FrontDesk(DeskClock deskClock = Clock::now, FileSystem& files = FileSystem::real());
  void run();

  DeskClock clock;
  std::array<std::unique_ptr<nummerserie>, 2> queues;
  std::array<std::unique_ptr<rum>, kRooms> rooms;
  ShiftLog shiftLog;
};
