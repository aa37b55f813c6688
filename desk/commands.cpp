#include "commands.hpp"

#include <optional>

#include "console.hpp"
#include "front_desk.hpp"
#include "shift_log.hpp"
#include "shift_panels.hpp"

namespace {

bool isCategory(int category) {
  return category == Adult || category == Child;
}

// The shift open in the room the user names, or nullptr for a free room.
rum* promptOpenShift(FrontDesk& desk) {
  const int room = desk.promptRoom();
  return desk.rooms[static_cast<std::size_t>(room - 1)].get();
}

// The shift in `room` as the desk shows it now (empty: free), to tell
// whether another station changed it while this one decided.
std::optional<ShiftState> shiftIn(const FrontDesk& desk, int room) {
  return desk.dayState().rooms[static_cast<std::size_t>(room - 1)];
}

}  // namespace

void technicianArrives(FrontDesk& desk) {
  PatientCategory category = None;
  int room = 0;
  std::string name;
  desk.arrivalForm(category, room, name);
  if (room < 1 || room > FrontDesk::kRooms || desk.rooms[static_cast<std::size_t>(room - 1)] ||
      !isCategory(category)) {
    desk.showErrorBox();
    return;
  }
  const double start = clockValueOf(desk.clock());
  const auto kept = desk.commit([&](const FrontDesk& now) -> std::optional<Change> {
    // Another station may have taken the room meanwhile.
    if (now.rooms[static_cast<std::size_t>(room - 1)]) return std::nullopt;
    Change opened{ChangeKind::Opened, room, category};
    opened.time = hourMinuteOf(start);
    opened.name = name;
    return opened;
  });
  if (!kept) {
    desk.showErrorBox();
    return;
  }
  auto& slot = desk.rooms[static_cast<std::size_t>(room - 1)];
  slot = std::make_unique<rum>(room, std::move(name), category, desk.queues[category - 1].get(),
                               desk.clock, start, 0);
  desk.lastCalled[static_cast<std::size_t>(room - 1)] = 0;
  desk.showRoomState(room, false);
}

void technicianLeaves(FrontDesk& desk) {
  const int room = desk.promptRoom();
  auto* slot = &desk.rooms[static_cast<std::size_t>(room - 1)];
  if (!*slot) {
    desk.showErrorBox();
    return;
  }
  // The store hears of the departure before the new log takes the old
  // one's place, so a run that ends in between finds out at its next start
  // whether the line got there.
  const std::optional<ShiftState> seen = shiftIn(desk, room);
  const double end = (*slot)->currentTime();
  bool refused = false;
  const auto begun = [&](long long oldSize) {
    // The shift seen, and no other station ending it meanwhile.
    const auto kept = desk.commit([&](const FrontDesk& now) -> std::optional<Change> {
      if (shiftIn(now, room) != seen) return std::nullopt;
      Change leaving{ChangeKind::Leaving, room};
      leaving.time = hourMinuteOf(end);
      leaving.logSize = oldSize;
      return leaving;
    });
    if (!kept) return refused = true, false;
    desk.departing.emplace(room, Departure{kept->time, oldSize});
    return true;
  };
  const bool logged = desk.shiftLog.add(ShiftLog::lineOf(**slot, end), begun);
  const bool wasBegun = desk.departing.has_value();
  // Only a shift that is safely in the log is freed; otherwise it stays
  // open (and red) so a later F2 can log it.
  if (wasBegun) {
    desk.commit([&](const FrontDesk&) {
      return std::optional<Change>(Change(logged ? ChangeKind::Left : ChangeKind::Stays, room));
    });
  }
  desk.departing.reset();
  if (!logged) {
    desk.showErrorBox();
    // Once the box is closed, the panel says why, until the next command.
    if (!refused) desk.showPanelLine(7, desk.shiftLog.faultLine());
    return;
  }
  slot = &desk.rooms[static_cast<std::size_t>(room - 1)];
  slot->reset();
  desk.lastCalled[static_cast<std::size_t>(room - 1)] = 0;
  if (desk.newestCallRoom == room) desk.newestCallRoom = 0;
  desk.showRoomState(room, true);
}

void patientGetsNumber(FrontDesk& desk) {
  const PatientCategory category = desk.promptCategory();
  if (!isCategory(category)) {
    desk.showErrorBox();
    return;
  }
  const auto kept = desk.commit([category](const FrontDesk& now) {
    Change issued{ChangeKind::Issued, 0, category};
    issued.number = now.queues[category - 1]->counter() + 1;
    return std::optional<Change>(issued);
  });
  if (!kept) {
    desk.showErrorBox();
    return;
  }
  const int number = desk.queues[category - 1]->enqueue();
  Console::setTextColor(Yellow);
  MainScreen::printAt(39, 9, "Tildelt nummer: ");
  Console::setTextColor(LightMagenta);
  Console::print("%i", number);
  desk.showWaitingCounts(desk.queues[0]->length(), desk.queues[1]->length());
  desk.printTicket(category, number);
}

void patientCalled(FrontDesk& desk) {
  rum* shift = promptOpenShift(desk);
  const bool callBack = shift && desk.notMetFirst && !desk.notMet(shift->getCategory()).empty();
  if (!shift || (!callBack && desk.queues[shift->getCategory() - 1]->length() <= 0)) {
    desk.showErrorBox();
    return;
  }
  const int room = shift->getRoom();
  if (callBack) {
    // A number that did not come when a booth called it, first (as the
    // clinic chose in morvalis.conf).
    const int category = shift->getCategory();
    const auto back = desk.commit([&](const FrontDesk& now) -> std::optional<Change> {
      if (now.notMet(category).empty() || !now.rooms[static_cast<std::size_t>(room - 1)]) return std::nullopt;
      Change recalled(ChangeKind::Recalled, room, category);
      recalled.number = now.notMet(category).front();
      return recalled;
    });
    if (!back) {
      desk.showErrorBox();
      return;
    }
    desk.calledBack(room, category, back->number);
    showCalledPatient(back->number, category);
    desk.showWaitingCounts(desk.queues[0]->length(), desk.queues[1]->length());
    return;
  }
  // Two stations calling into one room at once call one patient: the
  // second finds the room no longer as it saw it.
  const std::optional<ShiftState> seen = shiftIn(desk, room);
  const auto kept = desk.commit([&](const FrontDesk& now) -> std::optional<Change> {
    const nummerserie& queue = *now.queues[seen->category - 1];
    if (shiftIn(now, room) != seen || queue.length() <= 0) return std::nullopt;
    Change called{ChangeKind::Called, room, seen->category};
    called.number = queue.counter() - queue.length() + 1;
    return called;
  });
  shift = desk.rooms[static_cast<std::size_t>(room - 1)].get();
  if (!kept || !shift) {
    desk.showErrorBox();
    return;
  }
  const std::int32_t number = shift->callNext();
  desk.lastCalled[static_cast<std::size_t>(room - 1)] = number;
  desk.newestCallRoom = room;
  desk.paceCall(room, shift->getCategory());
  showCalledPatient(number, shift->getCategory());
  desk.showWaitingCounts(desk.queues[0]->length(), desk.queues[1]->length());
}

void roomStatus(FrontDesk& desk) {
  const rum* shift = promptOpenShift(desk);
  if (!shift) {
    desk.showErrorBox();
    return;
  }
  showRoomStatus(shift->getCategory(), shift->getName(), shift->getSamples(), shift->getStartTime(),
                 shift->currentTime());
}
