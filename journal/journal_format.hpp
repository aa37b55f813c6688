// The journal's format: one line per change of the day's state, written by
// the desk and read back by the desk (to resume) and by the display.
//
// A line is fields separated by single blanks, then a blank, its CRC-32 in
// eight lower-case hex digits, and CR LF:
//   <seq> <date> <time> <kind> <fields...> <crc>
// seq counts the lines of the day without a gap, from 1 or, in a journal
// rewritten from the state, from where the day's count had come; date and
// time are when the change was made (2026-12-07 08:31:07, the local clock).
// Lines written before the time was added have none and are still read
// (their time is unknown). The checksum covers everything before its
// blank. Kinds and their fields:
//   dag <room>                               the state follows from scratch
//                                            (the day's first line, and at
//                                            every start and midnight); the
//                                            room of the newest call (0: none)
//   serie <cat> <counter> <waiting>          a series as it stands
//   rum <room> <cat> <start> <samples> <last> <name>   an open shift as it stands
//   nummer <cat> <number>                    F3: a number issued
//   kald <room> <cat> <number>               F4: a number called into a room
//   ankommer <room> <cat> <start> <name>     F1: a shift opened
//   gaar <room> <end> <logsize>              F2 begun: its log line is being added
//   fri <room>                               F2 done: the room is free
//   bliver <room>                            F2 failed: the shift stays open
//   slut                                     ESC: the day is over; nothing follows
//   igen <room> <cat> <number>               the number in the room called again
//                                            (a number is called three times at most),
//                                            or a number not met called back into the room
//   ikkemoedt <room> <cat> <number>          the number in the room did not come: the
//                                            room is free to call the next; room 0 in
//                                            a state from scratch (such a number of the day)
// <cat> is "voksen" or "barn"; times are hour.minute ("8.30"); <name> is the
// name's bytes with every byte outside '!'..'~', and '%', written as %XX.
//
// The journal keeps the whole day: lines are only added, and a "dag" line
// with the state after it marks a start of the desk or a new date.
//
// Replay applies the lines in order to an empty DayState. A line that is
// torn, fails its checksum, breaks the count, or does not fit the state
// (an occupied room opened, a number that is not the next, more than a
// million waiting) is bad. Only an append cut short is harmless: a last
// piece without a line end, after at least one whole line, no longer than
// a line can be and of nothing but the bytes a line is made of. Anything
// else that is bad (a whole line that fails its check, zero bytes, a line
// too long) is damage, wherever it is. Past damage every whole line whose
// check holds is still taken up, in order (the lines between are lost, so
// one that does not fit counts as far as it can: a number it records
// issued waits, one it records called was called with those before it);
// and no series ends below the highest number any good line records, so
// no number is handed out twice. A line ended by LF alone (a journal an
// editor saved) is read as the line it is.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "day_state.hpp"

enum class ChangeKind { Day, Series, Room, Issued, Called, Opened, Leaving, Left, Stays, End, Recalled, NotMet };

// The most times one number is called into its room (the first call and
// two more).
inline constexpr int kMostCalls = 3;

struct Change {
  explicit Change(ChangeKind what = ChangeKind::Day, int inRoom = 0, int ofCategory = 0)
      : kind(what), room(inRoom), category(ofCategory) {}
  ChangeKind kind;
  int room;                 // 1..5; Day: the room of the newest call, 0..5
  int category;             // 1 or 2
  std::int32_t number = 0;  // Issued, Called, Recalled, NotMet; Series: counter; Room: samples
  std::int32_t extra = 0;   // Series: waiting; Room: last called
  HourMinute time;          // Opened, Room: start; Leaving: end
  long long logSize = 0;    // Leaving
  std::string name;         // Opened, Room
  friend bool operator==(const Change&, const Change&) = default;
};

// The journal's name in the desk's folder; the writer and every reader use it.
inline constexpr const char* kJournalFileName = "journal.txt";
// The folder beside it that keeps the days ended (historik/DATE.txt).
inline constexpr const char* kHistoryFolderName = "historik";
// The most bytes one line can have, CR LF included.
inline constexpr std::size_t kLongestJournalLine = 136;
// No time: a line written before lines had one.
inline constexpr int kUnknownSecond = -1;

// "2026-12-07".
std::string dateText(const CalendarDay& date);
// Whether `text` is a date as the journal writes it (ten characters, digits
// and two dashes) and a day of the calendar.
bool isDateText(std::string_view text);

// Seconds since 1970-01-01 of a date ("2026-12-07") at a second of its
// day, on the journal's local clock: differences are real durations, also
// across midnight.
long long momentOf(std::string_view date, int second);

// The date ("2026-12-07") of such a moment.
std::string dateOfMoment(long long moment);

// "08:31:07" for a second of the day.
std::string secondText(int second);

// One line with its checksum and CR LF.
std::string journalLine(std::int64_t seq, const Moment& when, const Change& change);
// The lines that state `state` from scratch, from `firstSeq` on: dag, each
// series that has issued numbers, each open shift (and its departure, when
// one is begun).
std::string snapshotLines(std::int64_t firstSeq, const Moment& when, const DayState& state);

// Applies one change; false (and the state unchanged) when it does not fit.
bool applyChange(DayState& state, const Change& change);

// A change as the journal has it, with when it was made.
struct TimedChange {
  std::string date;  // "2026-12-07"
  int second;        // of the day, or kUnknownSecond
  Change change;
};

struct Replay {
  enum class Damage { None, TornEnd, Damaged };
  DayState state;
  std::string firstDay;      // date of the first good line; empty when none
  std::string day;           // date of the last good line; empty when none
  std::size_t goodBytes = 0;  // the good lines' bytes before any damage, from the start
  std::int64_t lastSeq = 0;  // seq of the last good line before any damage; 0 when none
  std::size_t goodLines = 0;  // good lines before any damage
  std::size_t laterLines = 0;  // good lines taken up after it
  Damage damage = Damage::None;
  bool bareLineEnds = false;  // some good line ends in LF alone
  bool ended = false;  // the last good line is the day's end (ESC)
};

// Replays a whole journal: the state of its good lines. With `changes`,
// every good line's change goes there too, in order; or to `each`, as it
// comes (no list of a long day's changes kept).
Replay replayJournal(std::string_view text, std::vector<TimedChange>* changes = nullptr);
Replay replayJournal(std::string_view text, const std::function<void(TimedChange&&)>& each);

// Parses one line without its CR LF (false when it is bad); `second` is
// kUnknownSecond for a line without a time.
bool parseJournalLine(std::string_view line, std::int64_t& seq, std::string& date, int& second,
                      Change& change);
