#include "commands.hpp"

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
  auto& slot = desk.rooms[static_cast<std::size_t>(room - 1)];
  slot = std::make_unique<rum>(room, std::move(name), category, desk.queues[category - 1].get(),
                               desk.clock);
  desk.lastCalled[static_cast<std::size_t>(room - 1)] = 0;
  Change opened{ChangeKind::Opened, room, category};
  opened.time = hourMinuteOf(slot->getStartTime());
  opened.name = slot->getName();
  desk.record(opened);
  desk.showRoomState(room, false);
}

void technicianLeaves(FrontDesk& desk) {
  const int room = desk.promptRoom();
  auto& slot = desk.rooms[static_cast<std::size_t>(room - 1)];
  if (!slot) {
    desk.showErrorBox();
    return;
  }
  // The journal hears of the departure before the new log takes the old
  // one's place, so a run that ends in between finds out at its next start
  // whether the line got there.
  const double end = slot->currentTime();
  const auto begun = [&desk, room, end](long long oldSize) {
    desk.departing.emplace(room, Departure{hourMinuteOf(end), oldSize});
    Change leaving{ChangeKind::Leaving, room};
    leaving.time = desk.departing->second.end;
    leaving.logSize = oldSize;
    desk.record(leaving);
  };
  const bool logged = desk.shiftLog.add(ShiftLog::lineOf(*slot, end), begun);
  const bool wasBegun = desk.departing.has_value();
  desk.departing.reset();
  // Only a shift that is safely in the log is freed; otherwise it stays
  // open (and red) so a later F2 can log it.
  if (!logged) {
    if (wasBegun) desk.record(Change(ChangeKind::Stays, room));
    desk.showErrorBox();
    // Once the box is closed, the panel says why, until the next command.
    desk.showPanelLine(7, desk.shiftLog.faultLine());
    return;
  }
  slot.reset();
  desk.lastCalled[static_cast<std::size_t>(room - 1)] = 0;
  if (desk.newestCallRoom == room) desk.newestCallRoom = 0;
  desk.record(Change{ChangeKind::Left, room});
  desk.showRoomState(room, true);
}

void patientGetsNumber(FrontDesk& desk) {
  const PatientCategory category = desk.promptCategory();
  if (!isCategory(category)) {
    desk.showErrorBox();
    return;
  }
  const int number = desk.queues[category - 1]->enqueue();
  Change issued{ChangeKind::Issued, 0, category};
  issued.number = number;
  desk.record(issued);
  Console::setTextColor(Yellow);
  MainScreen::printAt(39, 9, "Tildelt nummer: ");
  Console::setTextColor(LightMagenta);
  Console::print("%i", number);
  desk.showWaitingCounts(desk.queues[0]->length(), desk.queues[1]->length());
  desk.printTicket(category, number);
}

void patientCalled(FrontDesk& desk) {
  rum* shift = promptOpenShift(desk);
  if (!shift || desk.queues[shift->getCategory() - 1]->length() <= 0) {
    desk.showErrorBox();
    return;
  }
  const std::int32_t number = shift->callNext();
  const int room = shift->getRoom();
  desk.lastCalled[static_cast<std::size_t>(room - 1)] = number;
  desk.newestCallRoom = room;
  Change called{ChangeKind::Called, room, shift->getCategory()};
  called.number = number;
  desk.record(called);
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
