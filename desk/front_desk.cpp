#include "front_desk.hpp"

#include "commands.hpp"
#include "console.hpp"

namespace {

constexpr int kFirstCommandCode = 59;  // F1's second code; F5 is 63
constexpr int kEscape = 27;
using Command = void (*)(FrontDesk&);
constexpr Command kCommands[] = {technicianArrives, technicianLeaves, patientGetsNumber,
                                 patientCalled, roomStatus};

}  // namespace

FrontDesk::FrontDesk(DeskClock deskClock, FileSystem& files)
    : clock(std::move(deskClock)),
      queues{std::make_unique<nummerserie>(), std::make_unique<nummerserie>()},
      shiftLog(files) {}

void FrontDesk::run() {
  drawScreen();
  for (int room = 1; room <= kRooms; ++room) showRoomState(room, true);
  showWaitingCounts(queues[0]->length(), queues[1]->length());
  for (;;) {
    Console::setCursorShape(CursorShape::Hidden);
    int code = Console::readKey();
    if (code == 0) {
      code = Console::readKey();
      const int item = code - kFirstCommandCode + 1;
      if (item >= 1 && item <= 5) {
        markMenuItem(item);
        clearPanel();
        kCommands[item - 1](*this);
      }
    }
    if (code == kEscape) return;
  }
}
