// MainScreen: the fixed 80 x 25 screen of the front desk and its panels.
//
// Positions are 1-based (column, row). The frame, titles, labels and menu
// are drawn once by drawScreen; afterwards only the menu marker (columns 2-3
// of the menu rows), the room indicators (two cells of row 4 per room), the
// waiting field (columns 73-79 of row 4), the dialog panel (columns 39-79
// of rows 6-19) and, for the journal's warning, row 23 change. Each operation sets the colours it
// needs before it writes and leaves them set. Menu items are 1..5 (F1..F5), rooms 1..5; arguments
// outside those ranges are ignored.
#pragma once

#include <array>
#include <string>

#include "patient_category.hpp"

class MainScreen {
 public:
  static constexpr int kRooms = 5;
  static constexpr int kPanelLeft = 39;
  static constexpr int kPanelRight = 79;
  static constexpr int kPanelTop = 6;
  static constexpr int kPanelBottom = 19;
  static constexpr int kWaitingLeft = 73;
  static constexpr int kWaitingRight = 79;

  // Moves to (column, row) and prints `text` there in the current colours.
  static void printAt(int column, int row, const char* text);

  void drawScreen();
  void markMenuItem(int item);
  void showRoomState(int room, bool free);
  // Both counts, adults first, as "A - C" in the waiting field; the rest of
  // the field is blanked. Counts too wide for the field's seven cells are
  // shown without the blanks ("A-C"), and if even that does not fit each
  // count above 99 shows as "99+": the field never writes past column 79.
  void showWaitingCounts(int adults, int children);
  void clearPanel();
  // The error box in the panel; waits for one key code, then blanks the panel.
  void showErrorBox();
  // A line of text in yellow at column 39 of `row` of the panel, cut at
  // column 79; it stays until the next command blanks the panel.
  void showPanelLine(int row, const std::string& text);
  // Row 23 of the frame: the warning that the day's journal cannot be
  // written (yellow), or, when `on` is false, the title again.
  void showJournalWarning(bool on);
  // Row 23: a warning of the program's own (yellow), or the title when empty.
  void showWarning(const std::string& text);

  // The keyboard prompts of the dialog panel. Prompt texts are yellow from
  // column 39, answers light magenta from column 49; while a prompt waits the
  // cursor is Normal. A key code a reader does not accept is dropped
  // without echo. None can be cancelled. They leave the
  // cursor Normal and the text colour light magenta.

  // Waits for '1'..'5' at the cursor, echoes it, returns 1..5.
  int readRoomDigit();
  // At column 49 of `row`: 'v' echoes "voksne" (Adult), 'b' echoes "boern "
  // (Child), Enter first gives None with no echo; only lower case counts.
  PatientCategory readCategory(int row);
  // "Rum nr:" on row 7, then the digit.
  int promptRoom();
  // "Patient:" on row 7, then the category.
  PatientCategory promptCategory();
  // Room (row 7), category (row 9) and technician's name (row 11). The name
  // takes up to 15 key codes as typed, without editing (Backspace, Escape,
  // Tab, -1 and both codes of an extended key are stored), ending at Enter,
  // which is not stored; a line feed (10) is dropped without echo and not
  // counted, so a name never holds a line break. Each code is echoed as the
  // console writer prints it, except a Backspace at the start of the field,
  // which is stored but not echoed: the echo stays in columns 49 to 63.
  void arrivalForm(PatientCategory& category, int& room, std::string& name);

  std::array<int, 6> menuRows{7, 9, 11, 13, 15, 17};
  std::array<int, kRooms> roomColumns{10, 22, 34, 46, 58};
  int selectedItem = 5;  // 0-based index into menuRows; 5 (ESC) shows no marker
};
