// FrontDesk: the whole running state of the program and its key loop.
//
// Owns the screen layout (it is a MainScreen, so every screen operation
// applies to it), the two number series (queues[0] adults, queues[1]
// children; the series of category c is queues[c - 1]) and the shifts open
// in the five rooms (rooms[r - 1] for room r; empty means free). It reads
// the time of day from `clock` and writes finished shifts to `shiftLog`.
//
// With a journal, every change of the state is recorded there before the
// screen shows it (record()), a warning on row 23 stays while the journal
// cannot be written, and ESC closes the journal's day. resume() takes up a
// day the journal kept; its lines for the panel wait in `notices`.
//
// run() draws the screen once (then the notices) and reads keys until ESC
// (or an extended key whose second code is 27); F1..F5 (0 then 59..63)
// move the menu marker, blank the panel and run their command; every other
// code is ignored. run() lets a ConsoleClosed from the key read pass to its
// caller, leaving the journal for the next start.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console.hpp"

#include "clock_value.hpp"
#include "day_state.hpp"
#include "expected_wait.hpp"
#include "journal.hpp"
#include "main_screen.hpp"
#include "nummerserie.hpp"
#include "rum.hpp"
#include "shift_log.hpp"
#include "ticket_printer.hpp"

class FrontDesk : public MainScreen {
 public:
  explicit FrontDesk(DeskClock deskClock = Clock::now, FileSystem& files = FileSystem::real(),
                     Journal* dayJournal = nullptr);

  // Before run(), on a desk that has done nothing yet: the series and the
  // open shifts of `state`. A departure the journal saw begun counts as
  // done when its line tops the shift log; otherwise its shift stays open.
  void resume(const DayState& state);
  void run();

  // The state as the journal keeps it.
  DayState dayState() const;
  // Puts a change (already made in memory) in the journal, if there is one.
  void record(const Change& change);
  // F3's ticket for `number`, to the printer if there is one; never waits.
  void printTicket(int category, std::int32_t number);
  // A call into `room` for the expected wait.
  void paceCall(int room, int category);

  DeskClock clock;
  std::array<std::unique_ptr<nummerserie>, 2> queues;
  std::array<std::unique_ptr<rum>, kRooms> rooms;
  std::array<std::int32_t, kRooms> lastCalled{};  // per room, for the display
  int newestCallRoom = 0;
  // The room whose departure is being logged, while F2 writes the log.
  std::optional<std::pair<int, Departure>> departing;
  ShiftLog shiftLog;
  Journal* journal;
  std::vector<std::string> notices;
  // Tickets: where they go (none: no printer) and the clinic's line.
  TicketPrinter* printer = nullptr;
  std::string clinic;
  ExpectedWait pace;

 private:
  // Row 23's warning while the journal cannot be written, else while
  // tickets do not get to the printer.
  void showJournalState();
  void followPrinter();
  // A key came: a printer's warning drawn before it may go now.
  void keyRead();
  Moment now() const;

  FileSystem& files_;
  std::string warningShown_;
  std::string printerWarning_;
  bool warningHeld_ = false;  // drawn, and no key since
  bool warningEnds_ = false;  // the printer is back: it goes at the next key
};
