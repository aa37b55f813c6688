// TicketMachine: the ticket machine at the clinic's door, on the day the
// clinic shares (a DayStore), in the console's whole window (40 x 12 and
// up), in Danish in the desk's style.
//
// The picture says which key gives a number of each kind ("Voksen",
// "Barn"). That key gives the next number of its category exactly as the
// desk's F3 does (decided again when another station gave one meanwhile),
// sends its ticket to the printer (never waiting for it) and shows the
// number in large digits for kShowMs. No other key does anything; only the
// end key (ctrl+q unless morvalis.conf says otherwise) ends run(). The
// bottom row says what is wrong: a ticket that did not get to the printer
// (the number is given all the same), or a store that cannot be reached
// (then no number is given, and the picture says so).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "day_store.hpp"
#include "expected_wait.hpp"
#include "ticket_printer.hpp"

class TicketMachine {
 public:
  static constexpr int kShowMs = 5000;
  struct Keys {
    int adult = 'v';
    int child = 'b';
    int end = 17;  // ctrl+q
  };
  using Now = std::function<Moment()>;
  using SteadyMs = std::function<long long()>;

  TicketMachine(DayStore& store, DayState day, TicketPrinter* printer, std::string clinic,
                ExpectedWait pace, Keys keys, Now now, SteadyMs steadyMs);

  void run();

  const DayState& day() const { return day_; }

 private:
  // The next number of `category`, its ticket, its picture.
  void give(int category);
  void takeNews();
  void draw();
  std::string bottomLine();

  DayStore& store_;
  DayState day_;
  TicketPrinter* printer_;
  std::string clinic_;
  ExpectedWait pace_;
  Keys keys_;
  Now now_;
  SteadyMs steadyMs_;
  std::int32_t shownNumber_ = 0;  // the number in large digits; 0 none
  int shownCategory_ = 0;
  long long shownUntil_ = 0;
  bool refused_ = false;  // the last key got no number
  std::string printerWarning_;
};
