// History: what the report reads of a desk's folder, only reading: every
// day kept in historik/ and the day in journal.txt, as the patients and the
// shifts of each day.
//
// A patient is a number issued (F3) with the moment it was issued and, if
// it was called (F4), the moment and the room. A shift is a technician's
// time in a room (F1 to F2). Moments are seconds since 1970-01-01 in the
// clock's local time as the journal writes it (so a wait across midnight is
// counted right); kUnknown where the journal has no time (lines from before
// lines had one). A file that is damaged counts with all its good lines,
// and a problem names the file and the first bad line. A call whose moment
// lies before its number's (the clock set back between) has no wait: it
// counts as called, its wait is left out, and a problem says how many.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "file_system.hpp"
#include "journal_format.hpp"

struct Patient {
  static constexpr long long kUnknown = -1;
  std::string day;  // the date the number was issued
  int category = 1;
  std::int32_t number = 0;
  long long issued = kUnknown;
  long long called = kUnknown;  // kUnknown also when it was never called
  bool wasCalled = false;
  int room = 0;  // the room it was called into
  int recalls = 0;      // called again into its room (a booth's F6)
  bool notMet = false;  // marked as not come (a booth's F7)
};

struct Shift {
  std::string day;  // the date of the shift's start
  int room = 1;
  int category = 1;
  std::string name;  // the code page's bytes, as typed
  HourMinute start;
  bool ended = false;
  HourMinute end;
  std::string endDay;  // the date of its end, when it ended
  std::int32_t samples = 0;
};

struct HistoryProblem {
  std::string file;
  std::size_t line = 0;  // the first line not counted
  std::string what;      // in Danish, for the report
};

struct History {
  std::vector<Patient> patients;  // in the order they were issued
  std::vector<Shift> shifts;      // in the order they began
  std::vector<std::string> files;
  std::vector<HistoryProblem> problems;
};

// Adds one journal's changes (one file) to `history`.
void addJournal(History& history, const std::string& file, std::string_view text);
// Reads historik/*.txt (the days in order, and the days of one date as
// the desk named them: DATE, DATE-2, ..., DATE-10), the days waiting
// beside the journal for historik/ (historik-DATE.txt) and journal.txt of
// `folder`. False, with `error` naming what, when the folder, historik/
// or one of the files cannot be read.
bool readHistory(const std::string& folder, History& history, std::string& error);
