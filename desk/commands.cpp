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
  desk.rooms[static_cast<std::size_t>(room - 1)] = std::make_unique<rum>(
      room, std::move(name), category, desk.queues[category - 1].get(), desk.clock);
  desk.showRoomState(room, false);
}

void technicianLeaves(FrontDesk& desk) {
  const int room = desk.promptRoom();
  auto& slot = desk.rooms[static_cast<std::size_t>(room - 1)];
  // Only a shift that is safely in the log is freed; otherwise it stays
  // open (and red) so a later F2 can log it.
  if (!slot || !desk.shiftLog.add(ShiftLog::lineOf(*slot, slot->currentTime()))) {
    desk.showErrorBox();
    return;
  }
  slot.reset();
  desk.showRoomState(room, true);
}

void patientGetsNumber(FrontDesk& desk) {
  const PatientCategory category = desk.promptCategory();
  if (!isCategory(category)) {
    desk.showErrorBox();
    return;
  }
  const int number = desk.queues[category - 1]->enqueue();
  Console::setTextColor(Yellow);
  MainScreen::printAt(39, 9, "Tildelt nummer: ");
  Console::setTextColor(LightMagenta);
  Console::print("%i", number);
  desk.showWaitingCounts(desk.queues[0]->length(), desk.queues[1]->length());
}

void patientCalled(FrontDesk& desk) {
  rum* shift = promptOpenShift(desk);
  if (!shift || desk.queues[shift->getCategory() - 1]->length() <= 0) {
    desk.showErrorBox();
    return;
  }
  const std::int32_t number = shift->callNext();
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
