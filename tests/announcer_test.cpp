// The spoken call: its words, and a queue that speaks each call whole and
// in order, never cutting one off; a voice that fails leaves the beep.
#include "announcer.hpp"

#include <gtest/gtest.h>

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

TEST(Announcer, EachCallIsSpokenWholeAndInOrder) {
  std::mutex mutex;
  std::vector<std::string> events;
  const auto log = [&](const std::string& e) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(e);
  };
  {
    Announcer announcer([&](const std::string& text, std::string&) {
      log("start " + text);
      std::this_thread::sleep_for(milliseconds(30));
      log("end " + text);
      return true;
    });
    for (const char* text : {"a", "b", "c"}) announcer.announce(text);
    for (int i = 0; i < 200; ++i) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (events.size() == 6) break;
      }
      std::this_thread::sleep_for(milliseconds(5));
    }
    EXPECT_FALSE(announcer.failed());
  }
  EXPECT_EQ(events, (std::vector<std::string>{"start a", "end a", "start b", "end b", "start c",
                                              "end c"}));
}

TEST(Announcer, AVoiceThatFailsIsSaidAndSpeaksNoMore) {
  int spoken = 0;
  Announcer announcer([&](const std::string&, std::string& problem) {
    ++spoken;
    problem = "Kan ikke tale: ingen lyd";
    return false;
  });
  announcer.announce("a");
  for (int i = 0; i < 200 && !announcer.failed(); ++i) std::this_thread::sleep_for(milliseconds(5));
  EXPECT_TRUE(announcer.failed());
  EXPECT_EQ(announcer.problem(), "Kan ikke tale: ingen lyd");
  announcer.announce("b");
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(spoken, 1);
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
