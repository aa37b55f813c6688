// The tickets' printer of one run of an entry (the desk, the ticket
// machine): its worker stopped however the run ends (ESC, a signal, the
// window closed), so a printer that hangs holds the end up at most the
// worker's deadline; the tickets that did not go out are said once the
// console is the shell's again.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "ticket_printer.hpp"

// The printer named by `address` ("" none) for the length of a run; made
// inside the run so that its thread shares the console session's blocked
// signals. `lost` gets the tickets that did not go out.
class RunPrinter {
 public:
  RunPrinter(const std::string& address, int& lost) : lost_(lost) {
    if (!address.empty()) printer_ = std::make_unique<TicketPrinter>(address);
  }
  ~RunPrinter() {
    if (printer_) lost_ = printer_->stop();
  }
  RunPrinter(const RunPrinter&) = delete;
  RunPrinter& operator=(const RunPrinter&) = delete;
  TicketPrinter* get() const { return printer_.get(); }

 private:
  int& lost_;
  std::unique_ptr<TicketPrinter> printer_;
};

inline void sayTicketsLost(const char* program, int lost) {
  if (lost <= 0) return;
  std::fprintf(stderr, "%s: %d %s not printed (the printer did not take %s in time)\n", program, lost,
               lost == 1 ? "ticket was" : "tickets were", lost == 1 ? "it" : "them");
}
