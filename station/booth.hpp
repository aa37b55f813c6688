// Booth: the technician's station in one room, on the day the clinic
// shares (a DayStore), in the console's whole window (40 x 12 and up), in
// Danish in the desk's style.
//
// The picture: the room, its technician and category or "Ledigt", the
// number in the room now (large) and how often it was called, the numbers
// waiting, and how long the oldest of the room's category has waited.
// Keys, each deciding on the day as it stands (another station's change
// meanwhile makes it decide again, or say no):
//   F1 "Laborant ankommer": name and category, as the desk's F1;
//   F2 "Laborant gaar": the shift's line on top of data.txt in the booth's
//      folder exactly as the desk's F2 writes it, the day told before the
//      log is replaced and after, so a departure is never lost or twice;
//   F4 "Kald naeste": the oldest waiting number of the room's category;
//   F5: the shift's figures; F6 "Kald igen": the number in the room again
//   (three calls at most, then it says so); F7 "Ikke moedt": the number did
//   not come, the room is free for F4; ESC ends the station, not the day.
// A key the day does not allow is said on the message row, never an error
// box: the booth has no panel to put one over.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "day_store.hpp"
#include "shift_log.hpp"

class Booth {
 public:
  using Now = std::function<Moment()>;

  // `dayText`: the day's lines so far (when its numbers were given).
  Booth(DayStore& store, DayState day, std::string dayText, int room, Now now,
        FileSystem& files = FileSystem::real());

  void run();

  const DayState& day() const { return day_; }

 private:
  void arrive();
  void leave();
  void callNext();
  void callAgain();
  void notMet();
  void figures();
  void takeNews();
  void draw();
  // A change decided on the day as it stands; the message row says why not.
  std::optional<Change> keep(const Decision& decide, const char* refused);
  // Reads a line of text at the message row (Enter ends it; ESC: nullopt).
  std::optional<std::string> ask(const std::string& prompt, std::size_t longest);
  // This room's shift in `day`, and in the day as the booth has it.
  const std::optional<ShiftState>& roomIn(const DayState& day) const {
    return day.rooms[static_cast<std::size_t>(room_ - 1)];
  }
  const std::optional<ShiftState>& shift() const { return roomIn(day_); }

  DayStore& store_;
  DayState day_;
  std::string dayText_;
  int room_;
  Now now_;
  ShiftLog log_;
  std::string message_;
  std::vector<std::string> panel_;  // F5's lines, until the next key
  std::map<std::pair<int, std::int32_t>, long long> issuedAt_;  // (category, number): when given
};
