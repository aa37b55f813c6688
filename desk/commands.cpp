#include "commands.hpp"

#include "front_desk.hpp"

void technicianArrives(FrontDesk&) {}
void technicianLeaves(FrontDesk&) {}
void patientGetsNumber(FrontDesk&) {}
void patientCalled(FrontDesk&) {}
void roomStatus(FrontDesk&) {}
