#include "booth.hpp"

#include <algorithm>
#include <cstdio>

#include "big_text.hpp"
#include "clock_value.hpp"
#include "console.hpp"
#include "rum.hpp"
#include "station_picture.hpp"

namespace {

// The same technician's shift: another shift in the room since is not.
bool sameShift(const ShiftState& a, const ShiftState& b) {
  return a.name == b.name && a.start == b.start;
}

constexpr int kEscape = 27;
constexpr int kEnter = 13;
constexpr int kBackspace = 8;
constexpr int kFirstFunctionKey = 59;  // F1's second code
constexpr int kLookMs = 1000;          // the clock and the oldest's wait

const char* categoryWords(int category) {
  return category == 1 ? "voksne" : "boern";
}

}  // namespace

Booth::Booth(DayStore& store, DayState day, std::string dayText, int room, Now now, FileSystem& files)
    : store_(store),
      day_(std::move(day)),
      dayText_(std::move(dayText)),
      room_(room),
      now_(std::move(now)),
      log_(files) {}

void Booth::takeNews() {
  if (!store_.hasNews()) return;
  if (std::optional<DayStore::News> news = store_.news()) {
    for (const TimedChange& c : news->changes) {
      if (c.change.kind == ChangeKind::Issued && c.second != kUnknownSecond) {
        issuedAt_[{c.change.category, c.change.number}] = momentOf(c.date, c.second);
      }
    }
    day_ = news->state;
  }
}

std::optional<Change> Booth::keep(const Decision& decide, const char* refused) {
  takeNews();
  const auto kept = keepChange(store_, day_, decide, [this](const DayStore::News& news) { day_ = news.state; });
  // A store out of reach is said on the message row for as long as it
  // lasts (its warning), not kept there after the store is back.
  if (!kept && store_.warning().empty()) message_ = refused;
  return kept;
}

std::optional<std::string> Booth::ask(const std::string& prompt, std::size_t longest) {
  std::string answer;
  for (;;) {
    message_ = prompt + answer;
    draw();
    Console::moveTo(2 + static_cast<int>(message_.size()), Console::windowSize().second - 1);
    Console::setCursorShape(CursorShape::Normal);
    const int code = Console::readKey();
    Console::setCursorShape(CursorShape::Hidden);
    if (code == kEscape) return std::nullopt;
    if (code == kEnter) return answer;
    if (code == 0) {
      Console::readKey();  // an extended key: nothing here
    } else if (code == kBackspace || code == 127) {
      if (!answer.empty()) answer.pop_back();
    } else if (code >= ' ' && answer.size() < longest) {
      answer += static_cast<char>(code);
    }
  }
}

void Booth::arrive() {
  if (shift()) {
    message_ = "Rummet er optaget";
    return;
  }
  const auto name = ask("Laborant: ", 15);
  if (!name) return message_.clear();
  std::optional<std::string> kind;
  int category = 0;
  while (category == 0) {
    kind = ask("Patienter (v / b): ", 1);
    if (!kind) return message_.clear();
    category = *kind == "v" ? 1 : *kind == "b" ? 2 : 0;
  }
  const double start = clockValueOf(Clock::now());
  message_.clear();
  keep(
      [&](const DayState& day) -> std::optional<Change> {
        if (roomIn(day)) return std::nullopt;
        Change opened(ChangeKind::Opened, room_, category);
        opened.time = hourMinuteOf(start);
        opened.name = *name;
        return opened;
      },
      "Rummet blev optaget imens");
}

void Booth::leave() {
  if (!shift()) {
    message_ = "Rummet er ledigt";
    return;
  }
  const ShiftState seen = *shift();
  // The line as the desk's F2 writes it, from the shift as the day has it.
  const rum shiftObject(room_, seen.name, seen.category, nullptr, [] { return Clock::now(); },
                        clockValueOf(seen.start), seen.samples);
  const double end = shiftObject.currentTime();
  bool begun = false;
  const bool logged = log_.add(ShiftLog::lineOf(shiftObject, end), [&](long long oldSize) {
    begun = keep(
                [&](const DayState& day) -> std::optional<Change> {
                  const auto& now = roomIn(day);
                  if (!now || now->leaving || !sameShift(*now, seen)) return std::nullopt;
                  Change leaving(ChangeKind::Leaving, room_);
                  leaving.time = hourMinuteOf(end);
                  leaving.logSize = oldSize;
                  return leaving;
                },
                "Vagten blev afsluttet et andet sted")
                .has_value();
    return begun;
  });
  if (begun) {
    keep([&](const DayState&) { return std::optional<Change>(Change(logged ? ChangeKind::Left : ChangeKind::Stays, room_)); },
         "Vagten kunne ikke afsluttes");
  }
  if (!logged && begun) message_ = log_.faultLine();
}

void Booth::callNext() {
  if (!shift()) {
    message_ = "Rummet er ledigt";
    return;
  }
  const ShiftState seen = *shift();
  keep(
      [&](const DayState& day) -> std::optional<Change> {
        const auto& now = roomIn(day);
        const SeriesState& series = day.series[static_cast<std::size_t>(seen.category - 1)];
        if (!now || !sameShift(*now, seen) || series.waiting <= 0) return std::nullopt;
        Change called(ChangeKind::Called, room_, seen.category);
        called.number = series.counter - series.waiting + 1;
        return called;
      },
      "Ingen venter");
}

void Booth::callAgain() {
  if (!shift() || shift()->lastCalled == 0) {
    message_ = "Intet nummer i rummet";
    return;
  }
  if (shift()->calls >= kMostCalls) {
    message_ = "Nummeret er kaldt 3 gange";
    return;
  }
  const std::int32_t number = shift()->lastCalled;
  keep(
      [&](const DayState& day) -> std::optional<Change> {
        const auto& now = roomIn(day);
        if (!now || now->lastCalled != number || now->calls >= kMostCalls) return std::nullopt;
        Change again(ChangeKind::Recalled, room_, now->category);
        again.number = number;
        return again;
      },
      "Nummeret er kaldt 3 gange");
}

void Booth::notMet() {
  if (!shift() || shift()->lastCalled == 0) {
    message_ = "Intet nummer i rummet";
    return;
  }
  const std::int32_t number = shift()->lastCalled;
  keep(
      [&](const DayState& day) -> std::optional<Change> {
        const auto& now = roomIn(day);
        if (!now || now->lastCalled != number) return std::nullopt;
        Change notMet(ChangeKind::NotMet, room_, now->category);
        notMet.number = number;
        return notMet;
      },
      "Intet nummer i rummet");
}

void Booth::figures() {
  if (!shift()) {
    message_ = "Rummet er ledigt";
    return;
  }
  const double start = clockValueOf(shift()->start), now = clockValueOf(Clock::now());
  const int minutes = (minutesOfDay(now) - minutesOfDay(start) + 24 * 60) % (24 * 60);
  char line[64];
  panel_.clear();
  panel_.push_back("Laborant: " + shift()->name);
  std::snprintf(line, sizeof line, "Start: %s   Patienter: %d", fixed2(start).c_str(), shift()->samples);
  panel_.push_back(line);
  std::snprintf(line, sizeof line, "Pr. time: %.2f",
                minutes > 0 ? shift()->samples * 60.0 / minutes : 0.0);
  panel_.push_back(line);
}

void Booth::draw() {
  const auto [columns, rows] = beginStationPicture();
  const TimeOfDay t = Clock::now();
  Console::setTextColor(Yellow);
  Console::moveTo(2, 1);
  Console::print("Rum %d", room_);
  Console::moveTo(columns - 5, 1);
  Console::print("%02d:%02d", t.hour, t.minute);
  Console::setTextColor(White);
  Console::moveTo(2, 3);
  if (shift()) {
    Console::print("Laborant: %s (%s)", shift()->name.c_str(), categoryWords(shift()->category));
  } else {
    Console::setTextColor(LightGreen);
    Console::print("Ledigt");
  }
  int row = 5;
  if (shift() && shift()->lastCalled > 0) {
    Console::setTextColor(White);
    Console::moveTo(2, row);
    Console::print("Nummer i rummet (kaldt %d %s):", shift()->calls, shift()->calls == 1 ? "gang" : "gange");
    const std::string digits = std::to_string(shift()->lastCalled);
    const int scale = rows >= 25 && columns >= 60 ? 2 : 1;
    Console::setTextColor(LightMagenta);
    for (const std::string& line : BigText::rows(digits, scale, scale)) {
      Console::moveTo(4, ++row);
      Console::print("%s", line.c_str());
    }
    row += 2;
  }
  Console::setTextColor(White);
  Console::moveTo(2, row);
  Console::print("Ventende: voksne %d, boern %d", day_.series[0].waiting, day_.series[1].waiting);
  if (shift()) {
    const SeriesState& series = day_.series[static_cast<std::size_t>(shift()->category - 1)];
    const auto oldest = issuedAt_.find({shift()->category, series.counter - series.waiting + 1});
    if (series.waiting > 0 && oldest != issuedAt_.end()) {
      const Moment at = now_();
      const long long waited = momentOf(dateText(at.day), at.second) - oldest->second;
      Console::moveTo(2, row + 1);
      Console::print("Laengst ventet: %lld min", std::max(0LL, waited / 60));
    }
  }
  for (std::size_t i = 0; i < panel_.size(); ++i) {
    Console::moveTo(2, row + 3 + static_cast<int>(i));
    Console::print("%s", panel_[i].c_str());
  }
  Console::setTextColor(LightCyan);
  Console::moveTo(2, rows - 3);
  Console::print("F1 Laborant ankommer  F2 Laborant gaar  F4 Kald naeste");
  Console::moveTo(2, rows - 2);
  Console::print("F5 Vagtens tal  F6 Kald igen  F7 Ikke moedt  ESC Slut");
  drawMessageRow(!message_.empty() ? message_ : store_.warning(), columns, rows);
}

void Booth::run() {
  if (store_.wakeHandle() >= 0) Console::wakeOn(store_.wakeHandle());
  replayJournal(dayText_, [this](TimedChange&& c) {
    if (c.change.kind == ChangeKind::Issued && c.second != kUnknownSecond) {
      issuedAt_[{c.change.category, c.change.number}] = momentOf(c.date, c.second);
    }
  });
  draw();
  for (;;) {
    const std::optional<int> key =
        Console::readKeyWithin(store_.wakeHandle() >= 0 ? kLookMs : 40);
    takeNews();
    if (key) {
      if (*key == kEscape) return;
      panel_.clear();
      message_.clear();
      if (*key == 0) {
        switch (Console::readKey() - kFirstFunctionKey + 1) {
          case 1: arrive(); break;
          case 2: leave(); break;
          case 4: callNext(); break;
          case 5: figures(); break;
          case 6: callAgain(); break;
          case 7: notMet(); break;
          default: break;
        }
      }
    }
    draw();
  }
}
