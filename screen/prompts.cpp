// The keyboard prompts of the dialog panel (members of MainScreen).
#include "console.hpp"
#include "main_screen.hpp"

namespace {

constexpr int kAnswerColumn = 49;
constexpr int kEnter = 13;
constexpr int kLineFeed = 10;
constexpr int kBackspace = 8;
constexpr std::size_t kNameLength = 15;

constexpr const char* kRoomLine = "Rum nr:                   (mellem 1 - 5)";
constexpr const char* kCategoryLine = "Patient:                 (v / b + enter)";
constexpr const char* kFormCategoryLine = "Patient:                  (v / b + enter)";
constexpr const char* kNameLine = "Laborant:                 (tryk enter)";

void startPrompt() {
  Console::setCursorShape(CursorShape::Normal);
  Console::setTextColor(Yellow);
}

}  // namespace

int MainScreen::readRoomDigit() {
  Console::setCursorShape(CursorShape::Normal);
  int code = 0;
  do {
    code = Console::readKey();
  } while (code < '1' || code > '5');
  Console::setTextColor(LightMagenta);
  Console::print("%c", code);
  return code - '0';
}

PatientCategory MainScreen::readCategory(int row) {
  Console::setCursorShape(CursorShape::Normal);
  Console::setTextColor(LightMagenta);
  for (;;) {
    Console::moveTo(kAnswerColumn, row);
    const int code = Console::readKey();
    if (code == 'v') {
      Console::print("voksne");
      return Adult;
    }
    if (code == 'b') {
      Console::print("boern ");
      return Child;
    }
    if (code == kEnter) return None;
  }
}

int MainScreen::promptRoom() {
  startPrompt();
  printAt(kPanelLeft, 7, kRoomLine);
  Console::moveTo(kAnswerColumn, 7);
  return readRoomDigit();
}

PatientCategory MainScreen::promptCategory() {
  startPrompt();
  printAt(kPanelLeft, 7, kCategoryLine);
  return readCategory(7);
}

void MainScreen::arrivalForm(PatientCategory& category, int& room, std::string& name) {
  startPrompt();
  printAt(kPanelLeft, 7, kRoomLine);
  printAt(kPanelLeft, 9, kFormCategoryLine);
  printAt(kPanelLeft, 11, kNameLine);
  Console::moveTo(kAnswerColumn, 7);
  room = readRoomDigit();
  category = readCategory(9);
  Console::moveTo(kAnswerColumn, 11);
  name.clear();
  int column = kAnswerColumn;  // where the next echo lands
  for (std::size_t read = 0; read < kNameLength;) {
    const int code = Console::readKey();
    // A line break would split the shift's line in the shift log.
    if (code == kLineFeed) continue;
    ++read;
    if (code != kEnter) name += static_cast<char>(code);
    // Backspace's echo steps back over the name, never out of its field
    // into the label and the frame, which are never drawn again.
    if (code == kBackspace && column == kAnswerColumn) continue;
    Console::print("%c", code);
    if (code == kEnter) break;
    if (code == kBackspace) {
      --column;
    } else if (code != 7) {
      ++column;
    }
  }
}
