// Announcer: the calls spoken in the waiting room, each whole and in the
// order they came, on a thread of its own so the display never waits for
// speech. A call that comes while another is spoken waits its turn; none
// is cut off.
//
// The speech itself is a function that speaks one text and returns when it
// has been heard (false when it cannot speak: no sound, no voice). After
// a failure the announcer says so through failed() and problem() and
// speaks no more; the display then beeps, as without speech. A voice that
// has not finished one call after kLongestCallMs is taken as failed too
// (a speech system that hangs). The calls run on a Worker: at most
// kWaitingCalls wait, and the end never waits for a voice longer than the
// worker's deadline (the voice, shared with the worker's job, stays alive
// for a thread left to itself).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "worker.hpp"

// "Nummer 17, rum 3": the number as digits, which the voice reads as a
// number ("sytten"), never digit by digit.
std::string announcementOf(std::int32_t number, int room);

class Announcer {
 public:
  static constexpr int kLongestCallMs = 10'000;
  static constexpr std::size_t kWaitingCalls = 8;

  using Speak = std::function<bool(const std::string& text, std::string& problem)>;

  explicit Announcer(Speak speak);
  ~Announcer();
  Announcer(const Announcer&) = delete;
  Announcer& operator=(const Announcer&) = delete;

  void announce(std::string text);
  bool failed();
  std::string problem();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  Worker worker_;
};

// The system's own speech in Danish: espeak-ng (voice "da") through the
// sound server on Linux, SAPI with a Danish voice on Windows.
Announcer::Speak systemSpeech();
