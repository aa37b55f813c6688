#include "commands.hpp"

#include "console.hpp"
#include "front_desk.hpp"

void technicianArrives(FrontDesk&) {}
void technicianLeaves(FrontDesk&) {}

void patientGetsNumber(FrontDesk& desk) {
  const PatientCategory category = desk.promptCategory();
  if (category != Adult && category != Child) {
    desk.showErrorBox();
    return;
  }
  const int number = desk.queues[category - 1]->enqueue();
  Console::setTextColor(Yellow);
  Console::moveTo(39, 9);
  Console::print("Tildelt nummer: ");
  Console::setTextColor(LightMagenta);
  Console::print("%i", number);
  desk.showWaitingCounts(desk.queues[0]->length(), desk.queues[1]->length());
}

void patientCalled(FrontDesk&) {}
void roomStatus(FrontDesk&) {}
