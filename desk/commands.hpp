// The five commands of the menu. Each takes the front desk, runs to its end,
// and either does its work or shows the error box, leaving the state as it
// was before the command.
#pragma once

class FrontDesk;

void technicianArrives(FrontDesk& desk);  // F1
void technicianLeaves(FrontDesk& desk);   // F2
void patientGetsNumber(FrontDesk& desk);  // F3
void patientCalled(FrontDesk& desk);      // F4
void roomStatus(FrontDesk& desk);         // F5
