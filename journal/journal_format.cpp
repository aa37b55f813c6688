#include "journal_format.hpp"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr const char* kKindWords[] = {"dag",  "serie", "rum",    "nummer", "kald",
                                      "ankommer", "gaar", "fri", "bliver", "slut",
                                      "igen", "ikkemoedt"};
constexpr int kKinds = 12;
constexpr const char* kHex = "0123456789abcdef";
constexpr std::int32_t kMostWaiting = 1'000'000;

std::uint32_t crc32(std::string_view bytes) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (const char b : bytes) c = table[(c ^ static_cast<unsigned char>(b)) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::string hex8(std::uint32_t value) {
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = kHex[value & 15];
  return out;
}

std::string escaped(const std::string& name) {
  std::string out;
  for (const char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (b > ' ' && b < 0x7F && b != '%') {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool unescaped(std::string_view text, std::string& name) {
  name.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == '%') {
      if (i + 2 >= text.size()) return false;
      const int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
      if (high < 0 || low < 0) return false;
      name += static_cast<char>(high * 16 + low);
      i += 2;
    } else if (b > ' ' && b < 0x7F) {
      name += text[i];
    } else {
      return false;
    }
  }
  return name.size() <= 15;
}

std::string timeText(HourMinute t) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%02d", t.hour, t.minute);
  return text;
}

std::string categoryWord(int category) {
  return category == 1 ? "voksen" : "barn";
}

// Digits only, at most 18 of them, no sign: the journal writes nothing else.
bool number(std::string_view text, long long& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

bool int32(std::string_view text, std::int32_t& value) {
  long long v = 0;
  if (!number(text, v) || v > 2147483647LL) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

bool roomNumber(std::string_view text, int& room) {
  long long v = 0;
  if (!number(text, v) || v < 1 || v > DayState::kRooms) return false;
  room = static_cast<int>(v);
  return true;
}

bool category(std::string_view text, int& value) {
  value = text == "voksen" ? 1 : text == "barn" ? 2 : 0;
  return value != 0;
}

bool timeOf(std::string_view text, HourMinute& t) {
  const auto dot = text.find('.');
  long long h = 0, m = 0;
  if (dot == std::string_view::npos || text.size() - dot != 3 || !number(text.substr(0, dot), h) ||
      !number(text.substr(dot + 1), m) || h > 23 || m > 59) {
    return false;
  }
  t = HourMinute{static_cast<int>(h), static_cast<int>(m)};
  return true;
}

// "08:31:07": 00:00:00 to 23:59:59.
bool secondOf(std::string_view text, int& second) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return false;
  long long h = 0, m = 0, s = 0;
  if (!number(text.substr(0, 2), h) || !number(text.substr(3, 2), m) ||
      !number(text.substr(6, 2), s) || h > 23 || m > 59 || s > 59) {
    return false;
  }
  second = static_cast<int>(h * 3600 + m * 60 + s);
  return true;
}


std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const auto blank = line.find(' ', start);
    fields.push_back(line.substr(start, blank - start));
    if (blank == std::string_view::npos) return fields;
    start = blank + 1;
  }
}

bool parseFields(const std::vector<std::string_view>& f, Change& c) {
  const auto kind = f[2];
  const std::size_t n = f.size() - 3;  // fields after the kind
  int k = 0;
  while (k < kKinds && kind != kKindWords[k]) ++k;
  if (k == kKinds) return false;
  c = Change{};
  c.kind = static_cast<ChangeKind>(k);
  switch (c.kind) {
    case ChangeKind::Day: {
      long long newest = 0;
      if (n != 1 || !number(f[3], newest) || newest > DayState::kRooms) return false;
      c.room = static_cast<int>(newest);
      return true;
    }
    case ChangeKind::Series:
      return n == 3 && category(f[3], c.category) && int32(f[4], c.number) && int32(f[5], c.extra);
    case ChangeKind::Room:
      return n == 6 && roomNumber(f[3], c.room) && category(f[4], c.category) &&
             timeOf(f[5], c.time) && int32(f[6], c.number) && int32(f[7], c.extra) &&
             unescaped(f[8], c.name);
    case ChangeKind::Issued:
      return n == 2 && category(f[3], c.category) && int32(f[4], c.number);
    case ChangeKind::Called:
    case ChangeKind::Recalled:
      return n == 3 && roomNumber(f[3], c.room) && category(f[4], c.category) &&
             int32(f[5], c.number);
    case ChangeKind::NotMet: {
      long long room = 0;
      if (n != 3 || !number(f[3], room) || room > DayState::kRooms) return false;
      c.room = static_cast<int>(room);
      return category(f[4], c.category) && int32(f[5], c.number);
    }
    case ChangeKind::Opened:
      return n == 4 && roomNumber(f[3], c.room) && category(f[4], c.category) &&
             timeOf(f[5], c.time) && unescaped(f[6], c.name);
    case ChangeKind::Leaving:
      return n == 3 && roomNumber(f[3], c.room) && timeOf(f[4], c.time) && number(f[5], c.logSize);
    case ChangeKind::Left:
    case ChangeKind::Stays:
      return n == 1 && roomNumber(f[3], c.room);
    case ChangeKind::End:
      return n == 0;
  }
  return false;
}

// What an append cut short can leave after the last CR LF: part of one
// line, so never LF, never a byte a line does not have, at most a CR last.
bool looksTorn(std::string_view piece) {
  if (piece.size() >= kLongestJournalLine) return false;
  for (std::size_t i = 0; i < piece.size(); ++i) {
    const auto b = static_cast<unsigned char>(piece[i]);
    if ((b < ' ' || b > '~') && !(b == '\r' && i + 1 == piece.size())) return false;
  }
  return true;
}

// Days since 1970-01-01 of a civil date (the proleptic Gregorian calendar).
long long daysOf(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const long long yearOfEra = year - era * 400;
  const long long dayOfYear = (153LL * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// The series and the room a change names; nullptr where it names none.
SeriesState* seriesOf(DayState& state, const Change& c) {
  return c.category == 1 || c.category == 2 ? &state.series[static_cast<std::size_t>(c.category - 1)]
                                            : nullptr;
}
std::optional<ShiftState>* roomOf(DayState& state, const Change& c) {
  return c.room >= 1 && c.room <= DayState::kRooms ? &state.rooms[static_cast<std::size_t>(c.room - 1)]
                                                   : nullptr;
}

}  // namespace

long long momentOf(std::string_view date, int second) {
  const auto part = [&](std::size_t at, std::size_t size) {
    int value = 0;
    for (std::size_t i = at; i < at + size && i < date.size(); ++i) value = value * 10 + (date[i] - '0');
    return value;
  };
  return daysOf(part(0, 4), part(5, 2), part(8, 2)) * 86400 + second;
}

std::string dateOfMoment(long long moment) {
  // The civil date of a day count, the inverse of daysOf.
  const long long days = (moment >= 0 ? moment : moment - 86399) / 86400 + 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const long long dayOfEra = days - era * 146097;
  const long long yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long long mp = (5 * dayOfYear + 2) / 153;
  const long long day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const long long month = mp < 10 ? mp + 3 : mp - 9;
  const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", year, month, day);
  return text;
}

int DayState::roomsOpen() const {
  int open = 0;
  for (const auto& room : rooms) open += room ? 1 : 0;
  return open;
}

bool isDateText(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (const std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  // A day of the calendar: 2026-02-30 and 2026-13-45 are not.
  const int year = (text[0] - '0') * 1000 + (text[1] - '0') * 100 + (text[2] - '0') * 10 + (text[3] - '0');
  const int month = (text[5] - '0') * 10 + (text[6] - '0');
  const int day = (text[8] - '0') * 10 + (text[9] - '0');
  if (month < 1 || month > 12 || day < 1) return false;
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string dateText(const CalendarDay& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

std::string secondText(int second) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", second / 3600 % 24, second / 60 % 60,
                second % 60);
  return text;
}

std::string journalLine(std::int64_t seq, const Moment& when, const Change& c) {
  std::string line = std::to_string(seq) + " " + dateText(when.day) + " " +
                     secondText(when.second) + " " + kKindWords[static_cast<int>(c.kind)];
  const auto add = [&line](const std::string& field) { line += " " + field; };
  switch (c.kind) {
    case ChangeKind::Day:
      add(std::to_string(c.room));
      break;
    case ChangeKind::Series:
      add(categoryWord(c.category));
      add(std::to_string(c.number));
      add(std::to_string(c.extra));
      break;
    case ChangeKind::Room:
      add(std::to_string(c.room));
      add(categoryWord(c.category));
      add(timeText(c.time));
      add(std::to_string(c.number));
      add(std::to_string(c.extra));
      add(escaped(c.name));
      break;
    case ChangeKind::Issued:
      add(categoryWord(c.category));
      add(std::to_string(c.number));
      break;
    case ChangeKind::Called:
    case ChangeKind::Recalled:
    case ChangeKind::NotMet:
      add(std::to_string(c.room));
      add(categoryWord(c.category));
      add(std::to_string(c.number));
      break;
    case ChangeKind::Opened:
      add(std::to_string(c.room));
      add(categoryWord(c.category));
      add(timeText(c.time));
      add(escaped(c.name));
      break;
    case ChangeKind::Leaving:
      add(std::to_string(c.room));
      add(timeText(c.time));
      add(std::to_string(c.logSize));
      break;
    case ChangeKind::Left:
    case ChangeKind::Stays:
      add(std::to_string(c.room));
      break;
    case ChangeKind::End:
      break;
  }
  return line + " " + hex8(crc32(line)) + "\r\n";
}

std::string snapshotLines(std::int64_t firstSeq, const Moment& date, const DayState& state) {
  std::string out = journalLine(firstSeq++, date, Change(ChangeKind::Day, state.newestCallRoom));
  for (int c = 1; c <= 2; ++c) {
    const auto& s = state.series[static_cast<std::size_t>(c - 1)];
    if (s.counter == 0 && s.waiting == 0) continue;
    Change series(ChangeKind::Series);
    series.category = c;
    series.number = s.counter;
    series.extra = s.waiting;
    out += journalLine(firstSeq++, date, series);
  }
  for (int r = 1; r <= DayState::kRooms; ++r) {
    const auto& shift = state.rooms[static_cast<std::size_t>(r - 1)];
    if (!shift) continue;
    Change room(ChangeKind::Room, r, shift->category);
    room.number = shift->samples;
    room.extra = shift->lastCalled;
    room.time = shift->start;
    room.name = shift->name;
    out += journalLine(firstSeq++, date, room);
    for (int call = 1; call < shift->calls && shift->lastCalled > 0; ++call) {
      Change again(ChangeKind::Recalled, r, shift->category);
      again.number = shift->lastCalled;
      out += journalLine(firstSeq++, date, again);
    }
    if (shift->leaving) {
      Change leaving(ChangeKind::Leaving, r);
      leaving.time = shift->leaving->end;
      leaving.logSize = shift->leaving->logSize;
      out += journalLine(firstSeq++, date, leaving);
    }
  }
  for (int c = 1; c <= 2; ++c) {
    for (const std::int32_t number : state.notMet[static_cast<std::size_t>(c - 1)]) {
      Change notMet(ChangeKind::NotMet, 0, c);
      notMet.number = number;
      out += journalLine(firstSeq++, date, notMet);
    }
  }
  return out;
}

bool applyChange(DayState& state, const Change& c) {
  auto* series = seriesOf(state, c);
  auto* room = roomOf(state, c);
  switch (c.kind) {
    case ChangeKind::Day:
      // The state follows from scratch.
      state = DayState{};
      state.newestCallRoom = c.room;
      return true;
    case ChangeKind::Series:
      // No desk issues a million numbers a day; a larger queue is damage,
      // and would only fill the memory.
      if (!series || c.extra > c.number || c.extra > kMostWaiting) return false;
      *series = SeriesState{c.number, c.extra};
      return true;
    case ChangeKind::Room:
      if (!room || *room || !series) return false;
      *room = ShiftState{c.category, c.name, c.time, c.number, c.extra, std::nullopt, c.extra > 0 ? 1 : 0};
      return true;
    case ChangeKind::Issued:
      if (!series || series->counter == 2147483647 || c.number != series->counter + 1 ||
          series->waiting >= kMostWaiting) {
        return false;
      }
      series->counter = c.number;
      ++series->waiting;
      return true;
    case ChangeKind::Called:
      if (!room || !*room || (*room)->category != c.category || !series || series->waiting <= 0 ||
          c.number != series->counter - series->waiting + 1) {
        return false;
      }
      --series->waiting;
      ++(*room)->samples;
      (*room)->lastCalled = c.number;
      (*room)->calls = 1;
      state.newestCallRoom = c.room;
      return true;
    case ChangeKind::Recalled: {
      if (!room || !*room || (*room)->category != c.category || c.number == 0) return false;
      auto& marked = state.notMet[static_cast<std::size_t>(c.category - 1)];
      const auto back = std::find(marked.begin(), marked.end(), c.number);
      if ((*room)->lastCalled == c.number) {
        // The number in the room, not yet called its last time.
        if ((*room)->calls >= kMostCalls) return false;
        ++(*room)->calls;
      } else if (back != marked.end()) {
        // A number that did not come, called back (at least its second call).
        marked.erase(back);
        (*room)->lastCalled = c.number;
        (*room)->calls = 2;
      } else {
        return false;
      }
      state.newestCallRoom = c.room;
      return true;
    }
    case ChangeKind::NotMet: {
      if (!series || c.number < 1 || c.number > series->counter) return false;
      auto& marked = state.notMet[static_cast<std::size_t>(c.category - 1)];
      if (c.room != 0) {
        if (!room || !*room || (*room)->category != c.category || (*room)->lastCalled != c.number) return false;
        (*room)->lastCalled = 0;
        (*room)->calls = 0;
      }
      if (std::find(marked.begin(), marked.end(), c.number) != marked.end()) return c.room != 0;
      if (marked.size() >= static_cast<std::size_t>(kMostWaiting)) return false;
      marked.push_back(c.number);
      return true;
    }
    case ChangeKind::Opened:
      if (!room || *room || !series) return false;
      *room = ShiftState{c.category, c.name, c.time, 0, 0, std::nullopt};
      return true;
    case ChangeKind::Leaving:
      if (!room || !*room) return false;
      (*room)->leaving = Departure{c.time, c.logSize};
      return true;
    case ChangeKind::Left:
      if (!room || !*room) return false;
      room->reset();
      if (state.newestCallRoom == c.room) state.newestCallRoom = 0;
      return true;
    case ChangeKind::Stays:
      if (!room || !*room) return false;
      (*room)->leaving.reset();
      return true;
    case ChangeKind::End:
      return true;
  }
  return false;
}

bool parseJournalLine(std::string_view line, std::int64_t& seq, std::string& date, int& second,
                      Change& change) {
  const auto blank = line.rfind(' ');
  if (blank == std::string_view::npos || line.size() - blank != 9) return false;
  const auto body = line.substr(0, blank);
  if (hex8(crc32(body)) != line.substr(blank + 1)) return false;
  auto fields = fieldsOf(body);
  long long n = 0;
  if (fields.size() < 3 || !number(fields[0], n) || !isDateText(fields[1])) return false;
  // A line from before lines had a time goes straight on with its kind.
  int at = kUnknownSecond;
  if (fields[2].find(':') != std::string_view::npos) {
    if (!secondOf(fields[2], at) || fields.size() < 4) return false;
    fields.erase(fields.begin() + 2);
  }
  if (!parseFields(fields, change)) return false;
  seq = n;
  date = std::string(fields[1]);
  second = at;
  return true;
}

namespace {

// A good line after damage: the lines between are lost, so it need not fit
// the state the lines before left. What it says of the numbers counts all
// the same, so no number it records is ever issued again.
bool applyAfterDamage(DayState& state, const Change& c) {
  if (applyChange(state, c)) return true;
  auto* series = seriesOf(state, c);
  auto* room = roomOf(state, c);
  switch (c.kind) {
    case ChangeKind::Issued:
      // Numbers issued in lost lines wait, as far as anyone knows.
      if (!series || c.number <= series->counter) return false;
      series->waiting = std::min(kMostWaiting, series->waiting + (c.number - series->counter));
      series->counter = c.number;
      return true;
    case ChangeKind::Called: {
      if (!series) return false;
      // The numbers before it were called in lost lines (first in, first out).
      if (c.number > series->counter) series->counter = c.number;
      series->waiting = std::min(series->waiting, series->counter - c.number);
      if (room && *room && (*room)->category == c.category) {
        ++(*room)->samples;
        (*room)->lastCalled = c.number;
        (*room)->calls = 1;
        state.newestCallRoom = c.room;
      }
      return true;
    }
    case ChangeKind::Opened:
    case ChangeKind::Room:
      // The room's end was in a lost line.
      if (!room || !series) return false;
      room->reset();
      return applyChange(state, c);
    default:
      return false;
  }
}

// The highest numbers any good line records, per category: issued (F3, a
// series' counter) and called (F4, a room's last call).
struct Highest {
  std::array<std::int32_t, 2> issued{};
  std::array<std::int32_t, 2> called{};
  void note(const Change& c) {
    if (c.category != 1 && c.category != 2) return;
    const auto k = static_cast<std::size_t>(c.category - 1);
    if (c.kind == ChangeKind::Issued || c.kind == ChangeKind::Series) issued[k] = std::max(issued[k], c.number);
    if (c.kind == ChangeKind::Called) called[k] = std::max(called[k], c.number);
    if (c.kind == ChangeKind::Room) called[k] = std::max(called[k], c.extra);
  }
  // No series below what was recorded: a number at or below it is never
  // issued again, and one recorded called never waits again.
  void raise(DayState& state) const {
    for (std::size_t k = 0; k < 2; ++k) {
      auto& s = state.series[k];
      const std::int32_t counter = std::max({s.counter, issued[k], called[k]});
      const std::int32_t firstWaiting = std::max(s.counter - s.waiting + 1, called[k] + 1);
      s.counter = counter;
      s.waiting = std::clamp(counter - firstWaiting + 1, 0, kMostWaiting);
    }
  }
};

}  // namespace

Replay replayJournal(std::string_view text, std::vector<TimedChange>* changes) {
  if (!changes) return replayJournal(text, std::function<void(TimedChange&&)>());
  changes->reserve(changes->size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  return replayJournal(text, [changes](TimedChange&& change) { changes->push_back(std::move(change)); });
}

Replay replayJournal(std::string_view text, const std::function<void(TimedChange&&)>& each) {
  Replay replay;
  Highest highest;
  std::int64_t seenSeq = 0;  // after damage: the last good line's seq
  std::size_t start = 0;
  while (start < text.size()) {
    // Lines end in CR LF; an editor may have made that LF.
    const auto lf = text.find('\n', start);
    const bool bare = lf != std::string_view::npos && (lf == start || text[lf - 1] != '\r');
    const auto end = lf == std::string_view::npos ? lf : bare ? lf : lf - 1;
    const std::size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
    std::int64_t seq = 0;
    std::string date;
    int second = kUnknownSecond;
    Change change;
    const bool whole = end != std::string_view::npos &&
                       parseJournalLine(text.substr(start, end - start), seq, date, second, change);
    bool good = false;
    if (replay.damage == Replay::Damage::None) {
      good = whole && !replay.ended &&
             (replay.lastSeq == 0 ? seq > 0 : seq == replay.lastSeq + 1) &&
             (replay.lastSeq != 0 || change.kind == ChangeKind::Day) &&
             applyChange(replay.state, change);
      if (!good) {
        const bool torn = end == std::string_view::npos && replay.goodLines > 0 &&
                          looksTorn(text.substr(start));
        replay.damage = torn ? Replay::Damage::TornEnd : Replay::Damage::Damaged;
        if (torn) break;
        seenSeq = replay.lastSeq;
      }
    } else {
      // Past the damage: every whole line whose check holds, in order.
      good = whole && seq > seenSeq && !replay.ended &&
             (change.kind == ChangeKind::End || applyAfterDamage(replay.state, change));
      if (good) ++replay.laterLines;
    }
    start = next;
    if (!good) continue;
    highest.note(change);
    replay.bareLineEnds = replay.bareLineEnds || bare;
    replay.ended = change.kind == ChangeKind::End;
    if (replay.firstDay.empty()) replay.firstDay = date;
    replay.day = date;
    if (replay.damage == Replay::Damage::None) {
      replay.lastSeq = seq;
      ++replay.goodLines;
      replay.goodBytes = start;
    } else {
      seenSeq = seq;
    }
    if (each) each(TimedChange{std::move(date), second, std::move(change)});
  }
  if (replay.damage == Replay::Damage::Damaged) highest.raise(replay.state);
  return replay;
}
