// TicketPrinter: prints tickets on a worker of its own, so the desk never
// waits for a printer: print() queues the bytes and returns at once; the
// worker sends them, one ticket after the other, through the link.
//
// A ticket that has not gone out within `staleAfter` of its print() (60 s
// in the desk) is dropped and said, not printed late for a patient who
// has long had the number; so is the oldest waiting ticket when
// kQueuedTickets wait. takeNews() tells the desk, once each, what happened
// since it last asked: how many tickets could not be printed and why (the
// last reason), and whether the printer is unreachable now (the latest
// ticket failed; it is reachable again with the next ticket that gets
// there).
//
// stop() (also the destructor) drops the tickets still waiting and gives a
// ticket being sent Worker::kStopDeadline to finish; it returns how many
// tickets did not go out, so the program can say so when it ends.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "printer_link.hpp"
#include "worker.hpp"

class TicketPrinter {
 public:
  static constexpr std::chrono::milliseconds kStaleAfter{60'000};
  static constexpr std::size_t kQueuedTickets = 16;

  explicit TicketPrinter(std::string address, PrinterLink link = sendToPrinter,
                         std::chrono::milliseconds staleAfter = kStaleAfter);
  ~TicketPrinter();
  TicketPrinter(const TicketPrinter&) = delete;
  TicketPrinter& operator=(const TicketPrinter&) = delete;

  void print(std::string bytes);

  struct News {
    int failed = 0;      // tickets not printed since the last news
    std::string reason;  // why the last of them failed
    bool unreachable = false;
  };
  std::optional<News> takeNews();
  // Whether a ticket is queued or being sent (the desk then looks for news
  // soon).
  bool busy();
  // The tickets that did not go out and were not told by takeNews():
  // those that failed or were dropped since, and one still being sent at
  // the deadline. A second stop() returns 0.
  int stop();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  Worker worker_;
  bool stopped_ = false;
};
