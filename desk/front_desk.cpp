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
// How often the key loop looks for a ticket's fate or another station's
// change: seen well within a tenth of a second.
constexpr int kNewsMs = 40;

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

// A picture that moved on is decided again at most this often in one
// command; more means the stations are far busier than a clinic can be.
constexpr int kDecisions = 20;

FrontDesk::FrontDesk(DeskClock deskClock, FileSystem& files, DeskParts parts)
    : clock(std::move(deskClock)),
      queues{std::make_unique<nummerserie>(), std::make_unique<nummerserie>()},
      shiftLog(files),
      notMetFirst(parts.notMetFirst),
      files_(files),
      store_(parts.store),
      printer_(parts.printer),
      clinic_(std::move(parts.clinic)),
      pace_(std::move(parts.pace)) {}

void FrontDesk::resume(const DayState& state) {
  adopted_ = state;
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
  for (std::size_t r = 0; r < rooms.size(); ++r) {
    if (state.rooms[r] && leavingElsewhere_[r]) state.rooms[r]->leaving = leavingElsewhere_[r];
  }
  if (departing && state.rooms[static_cast<std::size_t>(departing->first - 1)]) {
    state.rooms[static_cast<std::size_t>(departing->first - 1)]->leaving = departing->second;
  }
  state.newestCallRoom = newestCallRoom;
  for (std::size_t r = 0; r < rooms.size(); ++r) {
    auto& shift = state.rooms[r];
    if (!shift || shift->lastCalled == 0) continue;
    const auto& seen = adopted_.rooms[r];
    shift->calls = seen && seen->lastCalled == shift->lastCalled && seen->calls > 0 ? seen->calls : 1;
  }
  state.notMet = adopted_.notMet;
  return state;
}

std::optional<Change> FrontDesk::commit(const Decide& decide) {
  for (int round = 0; round < kDecisions; ++round) {
    const std::optional<Change> change = decide(*this);
    if (!change || !store_) return change;
    DayState after = dayState();
    applyChange(after, *change);
    const DayStore::Outcome outcome = store_->append(*change, [&after] { return after; });
    if (outcome == DayStore::Outcome::Kept) {
      showJournalState();
      return change;
    }
    if (outcome != DayStore::Outcome::Stale) break;
    takeNews();
  }
  showJournalState();
  return std::nullopt;
}

bool FrontDesk::takeNews() {
  if (!store_ || !store_->hasNews()) return false;
  std::optional<DayStore::News> news = store_->news();
  if (!news) return false;
  for (const TimedChange& c : news->changes) {
    if (c.change.kind != ChangeKind::Called || c.second == kUnknownSecond) continue;
    const auto& series = news->state.series[static_cast<std::size_t>(c.change.category - 1)];
    pace_.called(c.change.room, c.change.category, momentOf(c.date, c.second), series.waiting);
  }
  adopt(news->state);
  drawDay();
  return true;
}

void FrontDesk::calledBack(int room, int category, std::int32_t number) {
  applyChange(adopted_, [&] {
    Change back(ChangeKind::Recalled, room, category);
    back.number = number;
    return back;
  }());
  lastCalled[static_cast<std::size_t>(room - 1)] = number;
  newestCallRoom = room;
}

void FrontDesk::adopt(const DayState& state) {
  adopted_ = state;
  for (std::size_t c = 0; c < 2; ++c) {
    queues[c] = std::make_unique<nummerserie>();
    queues[c]->restore(state.series[c].counter, state.series[c].waiting);
  }
  for (int room = 1; room <= kRooms; ++room) {
    const auto r = static_cast<std::size_t>(room - 1);
    const auto& shift = state.rooms[r];
    rooms[r].reset();
    leavingElsewhere_[r].reset();
    lastCalled[r] = 0;
    if (!shift) continue;
    rooms[r] = std::make_unique<rum>(room, shift->name, shift->category,
                                     queues[static_cast<std::size_t>(shift->category - 1)].get(),
                                     clock, clockValueOf(shift->start), shift->samples);
    lastCalled[r] = shift->lastCalled;
    if (shift->leaving && !(departing && departing->first == room)) leavingElsewhere_[r] = shift->leaving;
  }
  newestCallRoom = state.newestCallRoom;
}

void FrontDesk::drawDay() {
  for (int room = 1; room <= kRooms; ++room) showRoomState(room, !rooms[room - 1]);
  showWaitingCounts(queues[0]->length(), queues[1]->length());
}

void FrontDesk::showJournalState() {
  const bool journalFails = store_ && !store_->writable();
  const std::string warning = journalFails               ? "journal"
                              : !printerWarning_.empty() ? printerWarning_
                              : store_                   ? store_->warning()
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
  if (!printer_) return;
  const auto news = printer_->takeNews();
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
  if (store_) return store_->now();
  const CalendarDate date = Clock::today();
  const TimeOfDay t = Clock::now();
  return Moment{CalendarDay{date.year, date.month, date.day}, t.hour * 3600 + t.minute * 60 + t.second};
}

void FrontDesk::printTicket(int category, std::int32_t number) {
  if (!printer_) return;
  const Moment at = now();
  Ticket ticket;
  ticket.clinic = clinic_;
  ticket.number = number;
  ticket.category = category;
  ticket.when = ticketTime(at.day.year, at.day.month, at.day.day, at.second);
  ticket.ahead = queues[static_cast<std::size_t>(category - 1)]->length() - 1;
  ticket.expectedMinutes = pace_.minutes(category, ticket.ahead, roomsOf(dayState(), category),
                                        momentOf(dateText(at.day), at.second));
  printer_->print(ticketBytes(ticket));
}

void FrontDesk::paceCall(int room, int category) {
  const Moment at = now();
  pace_.called(room, category, momentOf(dateText(at.day), at.second),
              queues[static_cast<std::size_t>(category - 1)]->length());
}

void FrontDesk::run() {
  // Another station's change ends the key wait at once.
  if (store_ && store_->wakeHandle() >= 0) Console::wakeOn(store_->wakeHandle());
  drawScreen();
  warningShown_.clear();  // the title is on row 23 again
  drawDay();
  for (std::size_t i = 0; i < notices.size() && i < 7; ++i) {
    showPanelLine(kPanelTop + 1 + 2 * static_cast<int>(i), notices[i]);
  }
  for (;;) {
    Console::setCursorShape(CursorShape::Hidden);
    // A desk open across midnight says so in the journal, so a display and
    // a later start see a desk of today.
    if (store_) store_->newDate(dayState());
    takeNews();
    followPrinter();
    showJournalState();
    // A ticket on its way is looked after soon, so a failure shows at once;
    // a shared day's news is looked for as often.
    const bool polled = store_ && store_->shared() && store_->wakeHandle() < 0;
    const int waitMs = (printer_ && printer_->busy()) || polled ? kNewsMs : waitForDateMs();
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
      if (store_) store_->closeDay(dayState());
      return;
    }
  }
}
