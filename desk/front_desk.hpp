// FrontDesk: the whole running state of the program and its key loop.
//
// Owns the screen layout (it is a MainScreen, so every screen operation
// applies to it) and the two number series: queues[0] adults, queues[1]
// children; the series of category c is queues[c - 1]. run() draws the
// screen once and reads keys until ESC (or an extended key whose second
// code is 27); F1..F5 (0 then 59..63) move the menu marker, blank the panel
// and run their command; every other code is ignored. run() lets a
// ConsoleClosed from the key read pass to its caller.
#pragma once

#include <array>
#include <memory>

#include "main_screen.hpp"
#include "nummerserie.hpp"

class FrontDesk : public MainScreen {
 public:
  FrontDesk();
  void run();

  std::array<std::unique_ptr<nummerserie>, 2> queues;
};
