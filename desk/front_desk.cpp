#include "front_desk.hpp"

#include <algorithm>

#include "commands.hpp"
#include "console.hpp"
#include "journal_format.hpp"
#include "ticket.hpp"

namespace {

constexpr int kFirstCommandCode = 59;  // F1's second code; F5 is 63
constexpr int kEscape = 27;
constexpr int kLongestWaitMs = 60'000;

// How long to wait for a key before looking at the date again: until just
// after the next midnight, and never more than a minute, so a clock that
// is set is followed too.
int waitForDateMs() {
  const TimeOfDay t = Clock::now();
  const int toMidnight =
      ((24 * 60 - t.hour * 60 - t.minute) * 60 - t.second) * 1000 - t.hundredths * 10 + 50;
  return std::clamp(toMidnight, 50, kLongestWaitMs);
}
using Command = void (*)(FrontDesk&);
constexpr Command kCommands[] = {technicianArrives, technicianLeaves, patientGetsNumber,
                                 patientCalled, roomStatus};

}  // namespace

FrontDesk::FrontDesk(DeskClock deskClock, FileSystem& files, Journal* dayJournal)
    : clock(std::move(deskClock)),
      queues{std::make_unique<nummerserie>(), std::make_unique<nummerserie>()},
      shiftLog(files),
      journal(dayJournal),
      files_(files) {}

void FrontDesk::resume(const DayState& state) {
  for (std::size_t c = 0; c < 2; ++c) {
    queues[c]->restore(state.series[c].counter, state.series[c].waiting);
  }
  std::string log;
  bool logRead = false;
  for (int room = 1; room <= kRooms; ++room) {
    const auto& shift = state.rooms[static_cast<std::size_t>(room - 1)];
    if (!shift) continue;
    auto open = std::make_unique<rum>(room, shift->name, shift->category,
                                      queues[static_cast<std::size_t>(shift->category - 1)].get(),
                                      clock, clockValueOf(shift->start), shift->samples);
    if (shift->leaving) {
      // The run ended inside F2: its line is in what the log gained since
      // then, or not there at all.
      std::string error;
      if (!logRead)
        logRead = readWholeFile(files_, ShiftLog::kFileName, log, error) == ReadOutcome::Read;
      const std::string line = ShiftLog::lineOf(*open, clockValueOf(shift->leaving->end));
      if (ShiftLog::addedSince(log, shift->leaving->logSize, line)) continue;
    }
    rooms[static_cast<std::size_t>(room - 1)] = std::move(open);
    lastCalled[static_cast<std::size_t>(room - 1)] = shift->lastCalled;
  }
  newestCallRoom = state.newestCallRoom;
  if (newestCallRoom >= 1 && !rooms[static_cast<std::size_t>(newestCallRoom - 1)]) {
    newestCallRoom = 0;
  }
  const DayState now = dayState();
  // A day that had not begun yet has nothing to take up.
  if (now == DayState{}) return;
  notices.push_back("Genoptaget: " + std::to_string(now.waitingTotal()) + " ventende, " +
                    std::to_string(now.roomsOpen()) + " rum optaget");
}

DayState FrontDesk::dayState() const {
  DayState state;
  for (std::size_t c = 0; c < 2; ++c) {
    state.series[c] = SeriesState{queues[c]->counter(), queues[c]->length()};
  }
  for (std::size_t r = 0; r < rooms.size(); ++r) {
    if (!rooms[r]) continue;
    state.rooms[r] = ShiftState{
        rooms[r]->getCategory(), rooms[r]->getName(), hourMinuteOf(rooms[r]->getStartTime()),
        rooms[r]->getSamples(),  lastCalled[r],       std::nullopt};
  }
  if (departing && state.rooms[static_cast<std::size_t>(departing->first - 1)]) {
    state.rooms[static_cast<std::size_t>(departing->first - 1)]->leaving = departing->second;
  }
  state.newestCallRoom = newestCallRoom;
  return state;
}

void FrontDesk::record(const Change& change) {
  if (!journal) return;
  journal->record(change, [this] { return dayState(); });
  showJournalState();
}

void FrontDesk::showJournalState() {
  const bool journalFails = journal && !journal->writable();
  const std::string warning = journalFails               ? "journal"
                              : !printerWarning_.empty() ? printerWarning_
                              : journal                  ? journal->historyWarning()
                                                         : std::string();
  if (warning == warningShown_) return;
  warningShown_ = warning;
  if (journalFails) {
    showJournalWarning(true);
  } else {
    showWarning(warning);
  }
}

void FrontDesk::followPrinter() {
  if (!printer) return;
  const auto news = printer->takeNews();
  if (!news) return;
  if (news->failed > 0 || news->unreachable) {
    printerWarning_ = "Billet ikke udskrevet: " + news->reason;
    // Seen before it goes, however soon the next ticket gets there.
    warningHeld_ = true;
    warningEnds_ = !news->unreachable;
  } else {
    warningEnds_ = true;
  }
  if (warningEnds_ && !warningHeld_) printerWarning_.clear();
  showJournalState();
}

void FrontDesk::keyRead() {
  warningHeld_ = false;
  if (warningEnds_) printerWarning_.clear();
}

Moment FrontDesk::now() const {
  if (journal) return journal->now();
  const CalendarDate date = Clock::today();
  const TimeOfDay t = Clock::now();
  return Moment{CalendarDay{date.year, date.month, date.day}, t.hour * 3600 + t.minute * 60 + t.second};
}

void FrontDesk::printTicket(int category, std::int32_t number) {
  if (!printer) return;
  const Moment at = now();
  Ticket ticket;
  ticket.clinic = clinic;
  ticket.number = number;
  ticket.category = category;
  char when[48];
  std::snprintf(when, sizeof when, "%02d-%02d-%04d kl. %02d:%02d", at.day.day, at.day.month,
                at.day.year, at.second / 3600, at.second / 60 % 60);
  ticket.when = when;
  ticket.ahead = queues[static_cast<std::size_t>(category - 1)]->length() - 1;
  ticket.expectedMinutes = pace.minutes(category, ticket.ahead, roomsOf(dayState(), category),
                                        momentOf(dateText(at.day), at.second));
  printer->print(ticketBytes(ticket));
}

void FrontDesk::paceCall(int room, int category) {
  const Moment at = now();
  pace.called(room, category, momentOf(dateText(at.day), at.second),
              queues[static_cast<std::size_t>(category - 1)]->length());
}

void FrontDesk::run() {
  drawScreen();
  warningShown_.clear();  // the title is on row 23 again
  for (int room = 1; room <= kRooms; ++room) showRoomState(room, !rooms[room - 1]);
  showWaitingCounts(queues[0]->length(), queues[1]->length());
  for (std::size_t i = 0; i < notices.size() && i < 7; ++i) {
    showPanelLine(kPanelTop + 1 + 2 * static_cast<int>(i), notices[i]);
  }
  for (;;) {
    Console::setCursorShape(CursorShape::Hidden);
    // A desk open across midnight says so in the journal, so a display and
    // a later start see a desk of today.
    if (journal) journal->newDate(dayState());
    followPrinter();
    showJournalState();
    // A ticket on its way is looked after soon, so a failure shows at once.
    const int waitMs = printer && printer->busy() ? 100 : waitForDateMs();
    const std::optional<int> key = Console::readKeyWithin(waitMs);
    if (!key) continue;
    keyRead();
    int code = *key;
    if (code == 0) {
      code = Console::readKey();
      const int item = code - kFirstCommandCode + 1;
      if (item >= 1 && item <= 5) {
        markMenuItem(item);
        clearPanel();
        kCommands[item - 1](*this);
      }
    }
    if (code == kEscape) {
      if (journal) journal->closeDay(dayState());
      return;
    }
  }
}
