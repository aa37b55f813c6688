// FrontDesk: the whole running state of the program and its key loop.
//
// Owns the screen layout (it is a MainScreen, so every screen operation
// applies to it), the two number series (queues[0] adults, queues[1]
// children; the series of category c is queues[c - 1]) and the shifts open
// in the five rooms (rooms[r - 1] for room r; empty means free). It reads
// the time of day from `clock` and writes finished shifts to `shiftLog`.
//
// With a store (the journal file, or a database other stations share),
// every change of the state is kept there before the screen shows it
// (commit()), a warning on row 23 stays while it cannot be kept, and ESC
// closes the store's day. resume() takes up a day the store kept; its
// lines for the panel wait in `notices`. With a shared store, the changes
// other stations make are taken into the picture between keys, and a
// change decided on a picture that has since moved on is decided again on
// the new one (F3 gets the next number; F1 into a room taken meanwhile
// gets the error box).
//
// run() draws the screen once (then the notices) and reads keys until ESC
// (or an extended key whose second code is 27); F1..F5 (0 then 59..63)
// move the menu marker, blank the panel and run their command; every other
// code is ignored. run() lets a ConsoleClosed from the key read pass to its
// caller, leaving the journal for the next start.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console.hpp"

#include "clock_value.hpp"
#include "day_state.hpp"
#include "day_store.hpp"
#include "expected_wait.hpp"
#include "main_screen.hpp"
#include "nummerserie.hpp"
#include "rum.hpp"
#include "shift_log.hpp"
#include "ticket_printer.hpp"

// What a desk works with besides the console and its clock.
struct DeskParts {
  DayStore* store = nullptr;         // none: the day is kept nowhere
  TicketPrinter* printer = nullptr;  // none: no tickets
  std::string clinic;                // the ticket's first line, code page 865
  ExpectedWait pace;                 // the day's calls so far and the usual pace
  bool notMetFirst = false;          // F4 calls a number not met back first
};

class FrontDesk : public MainScreen {
 public:
  explicit FrontDesk(DeskClock deskClock = Clock::now, FileSystem& files = FileSystem::real(),
                     DeskParts parts = {});

  // Before run(), on a desk that has done nothing yet: the series and the
  // open shifts of `state`. A departure the journal saw begun counts as
  // done when its line tops the shift log; otherwise its shift stays open.
  void resume(const DayState& state);
  void run();

  // The state as the journal keeps it.
  DayState dayState() const;
  // A change of the day decided by `decide` from the desk as it stands
  // (nullopt: it cannot be made), kept in the store before the caller
  // makes it in memory. A shared day that moved on meanwhile is taken in
  // and `decide` asked again. Nullopt when it is not made: `decide` said
  // so, or the store would not keep it (row 23 says why).
  using Decide = std::function<std::optional<Change>(const FrontDesk&)>;
  std::optional<Change> commit(const Decide& decide);
  // Changes other stations made, into the picture; true when there were.
  bool takeNews();
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
  std::vector<std::string> notices;
  // Of the shared day: the numbers not met of `category` (a booth's F7), and
  // whether F4 calls them back before the oldest waiting.
  const std::vector<std::int32_t>& notMet(int category) const {
    return adopted_.notMet[static_cast<std::size_t>(category - 1)];
  }
  // A number not met called back into `room` (kept already).
  void calledBack(int room, int category, std::int32_t number);
  const bool notMetFirst;

 private:
  // Row 23's warning while the journal cannot be written, else while
  // tickets do not get to the printer.
  void showJournalState();
  // The desk becomes `state` (another station's changes).
  void adopt(const DayState& state);
  void drawDay();
  void followPrinter();
  // A key came: a printer's warning drawn before it may go now.
  void keyRead();
  Moment now() const;

  FileSystem& files_;
  DayStore* store_;
  TicketPrinter* printer_;
  std::string clinic_;
  ExpectedWait pace_;
  // What the desk's own objects do not keep of a day other stations
  // changed too: how often each room's number was called, the numbers
  // that did not come.
  DayState adopted_;
  // Departures other stations have begun (their log line being written).
  std::array<std::optional<Departure>, kRooms> leavingElsewhere_;
  std::string warningShown_;
  std::string printerWarning_;
  bool warningHeld_ = false;  // drawn, and no key since
  bool warningEnds_ = false;  // the printer is back: it goes at the next key
};
