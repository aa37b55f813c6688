// The spoken call: its words, and a queue that speaks each call whole and
// in order, never cutting one off; a voice that fails leaves the beep.
#include "announcer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono;

TEST(Announcer, TheWordsOfACall) {
  const struct {
    std::int32_t number;
    int room;
    const char* words;
  } cases[] = {{1, 1, "Nummer 1, rum 1"},     {7, 2, "Nummer 7, rum 2"},
               {17, 3, "Nummer 17, rum 3"},   {100, 4, "Nummer 100, rum 4"},
               {117, 5, "Nummer 117, rum 5"}, {999, 1, "Nummer 999, rum 1"}};
  for (const auto& c : cases) EXPECT_EQ(announcementOf(c.number, c.room), c.words);
}

// A voice that writes down what it says, and when.
struct Voice {
  std::mutex mutex;
  std::vector<std::string> events;
  std::vector<steady_clock::time_point> starts, ends;
  int ms = 30;
  bool works = true;
  Announcer::Speak speak() {
    return [this](const std::string& text, std::string& problem) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (!works) {
          problem = "Kan ikke tale: ingen lyd";
          return false;
        }
        events.push_back("start " + text);
        starts.push_back(steady_clock::now());
      }
      std::this_thread::sleep_for(milliseconds(ms));
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back("end " + text);
      ends.push_back(steady_clock::now());
      return true;
    };
  }
  std::vector<std::string> heard(std::size_t count, Announcer& announcer) {
    for (int i = 0; i < 400; ++i) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (events.size() >= count) break;
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
    (void)announcer;
    std::lock_guard<std::mutex> lock(mutex);
    return events;
  }
};

TEST(Announcer, EachCallIsSpokenWholeAndInOrderWithAPauseBetween) {
  Voice voice;
  Announcer announcer(voice.speak(), 150);
  announcer.announce("a", 1);
  announcer.announce("b", 2);
  announcer.announce("c", 3);
  EXPECT_EQ(voice.heard(6, announcer),
            (std::vector<std::string>{"start a", "end a", "start b", "end b", "start c", "end c"}));
  EXPECT_FALSE(announcer.failed());
  for (std::size_t i = 1; i < voice.starts.size(); ++i) {
    EXPECT_GE(voice.starts[i] - voice.ends[i - 1], milliseconds(140)) << "never run together";
  }
}

// 20 calls in two seconds to three rooms: each room's newest is heard, the
// last calls last, and the rest (replaced, or over a minute old when read
// after a share came back) is shown but not spoken.
TEST(Announcer, AWaitingRoomHearsWhatIsCurrent) {
  Voice voice;
  voice.ms = 500;  // a call takes about 1.2 s in Danish; half, for the test's sake
  Announcer announcer(voice.speak(), 100);
  announcer.announce("old", 4, 61.0);
  for (int i = 1; i <= 20; ++i) {
    std::string text = "n";  // appended: GCC 12 warns of "n" + string wrongly at -O3
    text += std::to_string(i);
    announcer.announce(text, 1 + i % 3);
    std::this_thread::sleep_for(milliseconds(100));
  }
  std::this_thread::sleep_for(milliseconds(2000));
  std::vector<std::string> started;
  for (const auto& e : voice.heard(0, announcer)) {
    if (e.rfind("start ", 0) == 0) started.push_back(e.substr(6));
  }
  ASSERT_GE(started.size(), 3u);
  EXPECT_LE(started.size(), 8u) << "a call replaced before its turn is not spoken";
  EXPECT_EQ(std::vector<std::string>(started.end() - 3, started.end()),
            (std::vector<std::string>{"n18", "n19", "n20"}));
  EXPECT_EQ(std::find(started.begin(), started.end(), "old"), started.end());
}

// A sound server that goes: each call not spoken counts (the display beeps
// for it) and is said; when it comes back, the next call is spoken.
TEST(Announcer, AVoiceThatFailsIsSaidAndTriedAgain) {
  Voice voice;
  voice.works = false;
  Announcer announcer(voice.speak(), 0);
  announcer.announce("a", 1);
  for (int i = 0; i < 200 && announcer.failures() < 1; ++i) std::this_thread::sleep_for(milliseconds(5));
  EXPECT_TRUE(announcer.failed());
  EXPECT_EQ(announcer.failures(), 1);
  EXPECT_EQ(announcer.problem(), "Kan ikke tale: ingen lyd");
  {
    std::lock_guard<std::mutex> lock(voice.mutex);
    voice.works = true;
  }
  announcer.announce("b", 1);
  EXPECT_EQ(voice.heard(2, announcer), (std::vector<std::string>{"start b", "end b"}));
  for (int i = 0; i < 200 && announcer.failed(); ++i) std::this_thread::sleep_for(milliseconds(5));
  EXPECT_FALSE(announcer.failed());
  EXPECT_EQ(announcer.failures(), 1);
}

// q during a voice that hangs: the display ends at once, and the voice,
// when it comes back, finds what it uses still there.
TEST(Announcer, AHungVoiceNeverHoldsUpTheEnd) {
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto started = std::make_shared<std::atomic<bool>>(false);
  const auto ending = [&] {
    Announcer announcer([release, started, words = std::string()](const std::string& text,
                                                                  std::string&) mutable {
      *started = true;
      while (!*release) std::this_thread::sleep_for(milliseconds(5));
      words = text;  // the voice's own state, written after the end
      return true;
    });
    announcer.announce("a");
    while (!*started) std::this_thread::sleep_for(milliseconds(1));
    return steady_clock::now();
  }();
  EXPECT_LT(steady_clock::now() - ending, seconds(2));
  *release = true;
  std::this_thread::sleep_for(milliseconds(50));
}

}  // namespace
