// TicketPrinter: prints tickets on a thread of its own, so the desk never
// waits for a printer: print() queues the bytes and returns at once; the
// thread sends them, one ticket after the other, through the link.
//
// takeNews() tells the desk, once each, what happened since it last
// asked: how many tickets could not be printed and why (the last reason),
// and whether the printer is unreachable now (the latest ticket failed;
// it is reachable again with the next ticket that gets there). The
// destructor lets a ticket being sent finish, drops those still waiting,
// and ends the thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "printer_link.hpp"

class TicketPrinter {
 public:
  TicketPrinter(std::string address, PrinterLink link = sendToPrinter);
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

 private:
  void work();

  std::string address_;
  PrinterLink link_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::string> queue_;
  bool sending_ = false;
  bool ending_ = false;
  bool changed_ = false;
  News news_;
  std::thread thread_;
};
