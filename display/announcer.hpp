// Announcer: the calls spoken in the waiting room, on a worker of their
// own so the display never waits for speech. A waiting room hears what is
// current: when its turn comes a call is spoken only if it is still the
// newest call of its room and less than kStaleSeconds old (by the desk's
// clock: its age when it was read, and the time since); at most
// kWaitingCalls wait (the oldest goes); between two calls a pause of
// `pauseMs`, so they never run together; none is cut off.
//
// The speech itself is a function that speaks one text and returns when it
// has been heard (false, with the reason, when it cannot speak: no sound,
// no voice). Every call is tried, so a sound server that comes back is
// used again; one that could not be spoken counts in failures() (the
// display beeps for it), and failed() and problem() say so until a later
// call is spoken. A voice that has not finished one call after
// kLongestCallMs counts as failed too (a speech system that hangs). The
// end never waits for a voice longer than the worker's deadline, and the
// voice, shared with the worker's job, stays alive for a thread left to
// itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "worker.hpp"

// "Nummer 17, rum 3": the number as digits, which the voice reads as a
// number ("sytten"), never digit by digit.
// `again`: the number called again into its room (said with "igen").
std::string announcementOf(std::int32_t number, int room, bool again = false);

class Announcer {
 public:
  static constexpr int kLongestCallMs = 10'000;
  static constexpr std::size_t kWaitingCalls = 3;
  static constexpr double kStaleSeconds = 60;
  static constexpr int kPauseMs = 700;

  using Speak = std::function<bool(const std::string& text, std::string& problem)>;

  explicit Announcer(Speak speak, int pauseMs = kPauseMs);
  ~Announcer();
  Announcer(const Announcer&) = delete;
  Announcer& operator=(const Announcer&) = delete;

  // A call into `room` (0: none in particular), `ageSeconds` old when read.
  void announce(std::string text, int room = 0, double ageSeconds = 0);
  // The latest call could not be spoken, or the voice hangs now.
  bool failed();
  // A voice that has not finished its call for kLongestCallMs.
  bool hung();
  // Calls that could not be spoken so far.
  int failures();
  std::string problem();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  Worker worker_;
};

// The system's own speech in Danish: espeak-ng (voice "da") through the
// sound server on Linux, each call by a process of its own, SAPI with a
// Danish voice on Windows.
Announcer::Speak systemSpeech();

#ifndef _WIN32
// The process that speaks one call (`morvalis-display --tal TEXT`): its
// exit status says how it went (0 spoken).
int speakHere(const std::string& text);
#endif
