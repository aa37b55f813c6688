#include "ticket_printer.hpp"

TicketPrinter::TicketPrinter(std::string address, PrinterLink link)
    : address_(std::move(address)), link_(std::move(link)), thread_([this] { work(); }) {}

TicketPrinter::~TicketPrinter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

void TicketPrinter::print(std::string bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(bytes));
  }
  wake_.notify_all();
}

std::optional<TicketPrinter::News> TicketPrinter::takeNews() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!changed_) return std::nullopt;
  changed_ = false;
  News news = news_;
  news_.failed = 0;
  return news;
}

bool TicketPrinter::busy() {
  std::lock_guard<std::mutex> lock(mutex_);
  return sending_ || !queue_.empty();
}

void TicketPrinter::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
    if (ending_) return;
    const std::string bytes = std::move(queue_.front());
    queue_.pop_front();
    sending_ = true;
    lock.unlock();
    const PrintResult result = link_(address_, bytes);
    lock.lock();
    sending_ = false;
    const bool failed = result.outcome != PrintOutcome::Printed;
    if (failed) {
      ++news_.failed;
      news_.reason = result.reason;
    }
    if (failed || news_.unreachable) changed_ = true;
    news_.unreachable = failed;
  }
}
