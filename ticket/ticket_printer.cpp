#include "ticket_printer.hpp"

#include <mutex>

// What the worker's jobs use: theirs as much as the printer's, so a job
// left running at the end has it still.
struct TicketPrinter::Shared {
  std::string address;
  PrinterLink link;
  std::chrono::milliseconds staleAfter;
  std::mutex mutex;
  bool changed = false;
  News news;

  void failed(const std::string& reason) {
    std::lock_guard<std::mutex> lock(mutex);
    ++news.failed;
    news.reason = reason;
    news.unreachable = true;
    changed = true;
  }
  void printed() {
    std::lock_guard<std::mutex> lock(mutex);
    if (news.unreachable) changed = true;
    news.unreachable = false;
  }
};

TicketPrinter::TicketPrinter(std::string address, PrinterLink link, std::chrono::milliseconds staleAfter)
    : shared_(std::make_shared<Shared>()), worker_(kQueuedTickets) {
  shared_->address = std::move(address);
  shared_->link = std::move(link);
  shared_->staleAfter = staleAfter;
}

TicketPrinter::~TicketPrinter() {
  stop();
}

void TicketPrinter::print(std::string bytes) {
  const auto queued = std::chrono::steady_clock::now();
  std::weak_ptr<Shared> weak = shared_;
  worker_.post(Worker::Job{
      [shared = shared_, bytes = std::move(bytes), queued] {
        if (std::chrono::steady_clock::now() - queued > shared->staleAfter) {
          shared->failed("over et minut forsinket");
          return;
        }
        const PrintResult result = shared->link(shared->address, bytes);
        if (result.outcome == PrintOutcome::Printed) {
          shared->printed();
        } else {
          shared->failed(result.reason);
        }
      },
      [weak] {
        if (const auto shared = weak.lock()) shared->failed("for mange billetter i koe");
      }});
}

std::optional<TicketPrinter::News> TicketPrinter::takeNews() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (!shared_->changed) return std::nullopt;
  shared_->changed = false;
  News news = shared_->news;
  shared_->news.failed = 0;
  return news;
}

bool TicketPrinter::busy() {
  return worker_.busy();
}

int TicketPrinter::stop() {
  if (stopped_) return 0;
  stopped_ = true;
  const bool ended = worker_.stop();
  // Failures the desk has not shown count too: it has ended.
  std::lock_guard<std::mutex> lock(shared_->mutex);
  const int unseen = shared_->changed ? shared_->news.failed : 0;
  return unseen + (ended ? 0 : 1);
}
