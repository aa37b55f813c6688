#include "main_screen.hpp"

#include <algorithm>

#include <cstdio>
#include <string>

#include "console.hpp"

namespace {

constexpr const char* kTitle = "Morvalis anno 2000";
constexpr const char* kJournalWarning =
    "Advarsel: journal kan ikke skrives - intet gemmes ved nedbrud";

std::string frameRow(char left, char fill, char right,
                     std::initializer_list<std::pair<int, char>> at) {
  std::string row(80, fill);
  row.front() = left;
  row.back() = right;
  for (const auto& [column, c] : at) row[static_cast<std::size_t>(column - 1)] = c;
  return row;
}

constexpr char kH = '\xCD';      // ═
constexpr char kV = '\xBA';      // ║
constexpr char kTeeL = '\xCC';   // ╠
constexpr char kTeeR = '\xB9';   // ╣
constexpr char kTeeD = '\xCB';   // ╦
constexpr char kTeeU = '\xCA';   // ╩
constexpr char kCross = '\xCE';  // ╬

}  // namespace

void MainScreen::printAt(int column, int row, const char* text) {
  Console::moveTo(column, row);
  Console::print("%s", text);
}

void MainScreen::drawScreen() {
  Console::setBackground(Blue);
  Console::clear();
  Console::setTextColor(White);
  // Every row is placed explicitly, so a terminal wider than 80 columns shows
  // the same picture at its top left.
  const std::string rows[] = {
      frameRow('\xC9', kH, '\xBB', {}),
      frameRow(kV, ' ', kV, {}),
      frameRow(kTeeL, kH, kTeeR, {{13, kTeeD}, {25, kTeeD}, {37, kTeeD}, {49, kTeeD}, {61, kTeeD}}),
      frameRow(kV, ' ', kV, {{13, kV}, {25, kV}, {37, kV}, {49, kV}, {61, kV}, {76, '-'}}),
      frameRow(kTeeL, kH, kTeeR,
               {{13, kTeeU}, {25, kTeeU}, {37, kCross}, {49, kTeeU}, {61, kTeeU}}),
  };
  for (int row = 1; row <= 5; ++row) printAt(1, row, rows[row - 1].c_str());
  const std::string middle = frameRow(kV, ' ', kV, {{37, kV}});
  for (int row = 6; row <= 21; ++row) printAt(1, row, middle.c_str());
  printAt(1, 22, frameRow(kTeeL, kH, kTeeR, {{37, kTeeU}}).c_str());
  printAt(1, 23, frameRow(kV, ' ', kV, {}).c_str());
  printAt(1, 24, frameRow('\xC8', kH, '\xBC', {}).c_str());

  Console::setTextColor(LightRed);
  printAt(24, 2, kTitle);

  Console::setTextColor(LightCyan);
  const char* labels[] = {"Rum 1:", "Rum 2:", "Rum 3:", "Rum 4:", "Rum 5:", "Ventende:    -"};
  for (int i = 0; i < 6; ++i) printAt(3 + 12 * i, 4, labels[i]);
  const char* menu[] = {
      "F1: Laborant ankommer",          "F2: Laborant gaar", "F3: Patient tildeles nummer",
      "F4: Patient kaldes til tapning", "F5: Status",        "ESC: Exit"};
  for (int i = 0; i < 6; ++i) printAt(4, menuRows[static_cast<std::size_t>(i)], menu[i]);

  Console::setTextColor(LightRed);
  printAt(24, 23, kTitle);
}

void MainScreen::markMenuItem(int item) {
  Console::setTextColor(LightRed);
  if (item < 1 || item > 5 || item == selectedItem + 1) return;
  printAt(2, menuRows[static_cast<std::size_t>(item - 1)], "->");
  printAt(2, menuRows[static_cast<std::size_t>(selectedItem)], "  ");
  selectedItem = item - 1;
}

void MainScreen::showRoomState(int room, bool free) {
  if (room < 1 || room > kRooms) return;
  Console::setTextColor(free ? LightGreen : LightRed);
  printAt(roomColumns[static_cast<std::size_t>(room - 1)], 4, "\xDB\xDB");
}

void MainScreen::showWaitingCounts(int adults, int children) {
  constexpr int width = kWaitingRight - kWaitingLeft + 1;
  std::string a = std::to_string(adults);
  std::string c = std::to_string(children);
  const char* dash = " - ";
  if (a.size() + c.size() + 3 > width) dash = "-";
  if (a.size() + c.size() + 1 > width) {
    if (a.size() > 2) a = "99+";
    if (c.size() > 2) c = "99+";
  }
  const std::size_t used = a.size() + std::string_view(dash).size() + c.size();
  Console::setTextColor(LightMagenta);
  printAt(kWaitingLeft, 4, a.c_str());
  Console::setTextColor(LightCyan);
  Console::print("%s", dash);
  Console::setTextColor(LightMagenta);
  Console::print("%s%*s", c.c_str(), static_cast<int>(width - used), "");
}

void MainScreen::clearPanel() {
  constexpr int width = kPanelRight - kPanelLeft + 1;
  for (int row = kPanelTop; row <= kPanelBottom; ++row) {
    Console::moveTo(kPanelLeft, row);
    Console::print("%*s", width, "");
  }
}

void MainScreen::showErrorBox() {
  Console::setCursorShape(CursorShape::Hidden);
  Console::setBackground(Red);
  Console::setTextColor(Yellow);
  const std::string edge(35, kH);
  const std::string lines[] = {
      "\xC9" + edge + "\xBB",
      std::string(1, kV) + std::string(35, ' ') + kV,
      std::string(1, kV) + " Programmet har udfoert en ulovlig " + kV,
      std::string(1, kV) + std::string(13, ' ') + "handling" + std::string(14, ' ') + kV,
      std::string(1, kV) + "   tryk en tast for at forsaette   " + kV,
      std::string(1, kV) + std::string(35, ' ') + kV,
      "\xC8" + edge + "\xBC",
  };
  for (int i = 0; i < 7; ++i) printAt(41, 11 + i, lines[i].c_str());
  Console::readKey();
  Console::setBackground(Blue);
  clearPanel();
}

void MainScreen::showPanelLine(int row, const std::string& text) {
  Console::setTextColor(Yellow);
  Console::moveTo(kPanelLeft, row);
  const auto width = static_cast<std::size_t>(kPanelRight - kPanelLeft + 1);
  for (const char c : text.substr(0, width)) Console::print("%c", c);
}

void MainScreen::showJournalWarning(bool on) {
  showWarning(on ? kJournalWarning : "");
}

void MainScreen::showWarning(const std::string& text) {
  Console::setTextColor(text.empty() ? LightRed : Yellow);
  printAt(2, 23, std::string(78, ' ').c_str());
  if (text.empty()) {
    printAt(24, 23, kTitle);
  } else {
    // Centred in the row, as the journal's warning stands.
    printAt(2 + std::max(0, (78 - static_cast<int>(text.size())) / 2), 23, text.substr(0, 78).c_str());
  }
}
