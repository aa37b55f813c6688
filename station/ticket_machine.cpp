#include "ticket_machine.hpp"

#include <algorithm>

#include "big_text.hpp"
#include "console.hpp"
#include "station_picture.hpp"
#include "ticket.hpp"

namespace {

constexpr int kEndLookMs = 1000;  // the clock on the picture, a ticket's fate

// `text` centred on `row` of a window `columns` wide.
void centred(int row, int columns, const std::string& text) {
  Console::moveTo(std::max(1, (columns - static_cast<int>(text.size())) / 2 + 1), row);
  Console::print("%s", text.c_str());
}

const char* categoryWord(int category) {
  return category == 1 ? "Voksen" : "Barn";
}

}  // namespace

TicketMachine::TicketMachine(DayStore& store, DayState day, TicketPrinter* printer, std::string clinic,
                             ExpectedWait pace, Keys keys, Now now, SteadyMs steadyMs)
    : store_(store),
      day_(std::move(day)),
      printer_(printer),
      clinic_(std::move(clinic)),
      pace_(std::move(pace)),
      keys_(keys),
      now_(std::move(now)),
      steadyMs_(std::move(steadyMs)) {}

void TicketMachine::takeNews() {
  if (!store_.hasNews()) return;
  if (std::optional<DayStore::News> news = store_.news()) {
    for (const TimedChange& c : news->changes) {
      if (c.change.kind != ChangeKind::Called || c.second == kUnknownSecond) continue;
      pace_.called(c.change.room, c.change.category, momentOf(c.date, c.second),
                   news->state.series[static_cast<std::size_t>(c.change.category - 1)].waiting);
    }
    day_ = news->state;
  }
}

void TicketMachine::give(int category) {
  takeNews();
  const auto kept = keepChange(
      store_, day_,
      [category](const DayState& day) {
        Change issued(ChangeKind::Issued, 0, category);
        issued.number = day.series[static_cast<std::size_t>(category - 1)].counter + 1;
        return std::optional<Change>(issued);
      },
      [this](const DayStore::News& news) { day_ = news.state; });
  refused_ = !kept;
  shownUntil_ = steadyMs_() + kShowMs;
  if (!kept) {
    shownNumber_ = 0;
    return;
  }
  shownNumber_ = kept->number;
  shownCategory_ = category;
  if (!printer_) return;
  const Moment at = now_();
  Ticket ticket;
  ticket.clinic = clinic_;
  ticket.number = kept->number;
  ticket.category = category;
  ticket.when = ticketTime(at.day.year, at.day.month, at.day.day, at.second);
  ticket.ahead = day_.series[static_cast<std::size_t>(category - 1)].waiting - 1;
  ticket.expectedMinutes =
      pace_.minutes(category, ticket.ahead, roomsOf(day_, category), momentOf(dateText(at.day), at.second));
  printer_->print(ticketBytes(ticket));
}

std::string TicketMachine::bottomLine() {
  if (printer_) {
    if (const auto news = printer_->takeNews()) {
      if (news->failed > 0 || news->unreachable) {
        printerWarning_ = "Billet ikke udskrevet: " + news->reason;
      } else {
        printerWarning_.clear();
      }
    }
  }
  const std::string store = store_.warning();
  return !store.empty() ? store : printerWarning_;
}

void TicketMachine::draw() {
  const auto [columns, rows] = beginStationPicture();
  Console::setTextColor(Yellow);
  centred(2, columns, "Tag et nummer");
  const bool showing = steadyMs_() < shownUntil_;
  if (showing && shownNumber_ > 0) {
    // The number as large as the window allows, for the patient to read.
    const std::string digits = std::to_string(shownNumber_);
    int scale = 1;
    while (BigText::columns(digits, scale + 1) <= columns - 4 && BigText::rowCount(scale + 1) <= rows - 9) ++scale;
    const auto big = BigText::rows(digits, scale, scale);
    const int top = std::max(4, (rows - static_cast<int>(big.size())) / 2);
    Console::setTextColor(White);
    centred(top - 1, columns, std::string("Deres nummer (") + categoryWord(shownCategory_) + "):");
    Console::setTextColor(LightMagenta);
    for (std::size_t i = 0; i < big.size(); ++i) centred(top + static_cast<int>(i), columns, big[i]);
  } else if (showing && refused_) {
    Console::setTextColor(White);
    centred(rows / 2, columns, "Intet nummer lige nu - proev igen");
  } else {
    Console::setTextColor(White);
    const std::string adult = std::string("Tryk ") + static_cast<char>(keys_.adult) + "   Voksen";
    const std::string child = std::string("Tryk ") + static_cast<char>(keys_.child) + "   Barn";
    centred(rows / 2 - 1, columns, adult);
    centred(rows / 2 + 1, columns, child + std::string(adult.size() - std::min(adult.size(), child.size()), ' '));
  }
  drawMessageRow(bottomLine(), columns, rows);
}

void TicketMachine::run() {
  if (store_.wakeHandle() >= 0) Console::wakeOn(store_.wakeHandle());
  std::string shownBottom;
  bool shownNumber = false;
  std::pair<int, int> size = Console::windowSize();
  draw();
  for (;;) {
    // Back to the keys' picture when the number has been shown long enough.
    const long long left = shownUntil_ - steadyMs_();
    const int waitMs = left > 0 ? static_cast<int>(std::min<long long>(left, kEndLookMs)) : kEndLookMs;
    const std::optional<int> key = Console::readKeyWithin(printer_ && printer_->busy() ? 100 : waitMs);
    takeNews();
    if (key && *key == 0) {
      Console::readKeyWithin(0);  // an extended key's second code: nothing
    } else if (key && *key == keys_.end) {
      return;
    } else if (key && (*key == keys_.adult || *key == keys_.child)) {
      give(*key == keys_.adult ? 1 : 2);
    }
    const bool showing = steadyMs_() < shownUntil_;
    const std::string bottom = bottomLine();
    if (key || showing != shownNumber || bottom != shownBottom || Console::windowSize() != size) {
      size = Console::windowSize();
      draw();
      shownNumber = showing;
      shownBottom = bottom;
    }
  }
}
