// F1, F4 and F5 through the key loop, with a clock the tests set.
#include <gtest/gtest.h>

#include "clock_value.hpp"
#include "desk_driver.hpp"

namespace {

using keys::kEnter;

TEST(Arrival, AFreeRoomOpensAShiftAndTurnsRed) {
  DeskDriver d;
  d.times({at(8, 30)});
  d.arrive(3, 'v', "Hans");
  d.run();
  ASSERT_TRUE(d.desk.rooms[2]);
  EXPECT_EQ(d.desk.rooms[2]->getName(), "Hans");
  EXPECT_EQ(d.desk.rooms[2]->getCategory(), Adult);
  EXPECT_EQ(d.desk.rooms[2]->getSamples(), 0);
  EXPECT_EQ(d.desk.rooms[2]->getRoom(), 3);
  EXPECT_EQ(fixed2(d.desk.rooms[2]->getStartTime()), "8.30");
  EXPECT_EQ(d.color(34, 4), LightRed);
  EXPECT_EQ(d.color(35, 4), LightRed);
  EXPECT_EQ(d.color(22, 4), LightGreen);
  EXPECT_EQ(d.text(11, 39, 55), "Laborant: Hans   ") << "the filled-in form stays";
}

TEST(Arrival, RefusedForAnOccupiedRoomOrNoCategory) {
  DeskDriver d;
  d.times({at(8, 30), at(9, 0)});
  d.arrive(3, 'v', "Hans");
  d.arrive(3, 'b', "Eva");                                         // occupied
  d.press({'x'});                                                  // closes the box
  d.key(1).press({'2', kEnter}).type("Ole").press({kEnter, 'x'});  // Enter at the category
  d.run();
  EXPECT_EQ(d.desk.rooms[2]->getName(), "Hans");
  EXPECT_EQ(d.desk.rooms[2]->getCategory(), Adult);
  EXPECT_EQ(fixed2(d.desk.rooms[2]->getStartTime()), "8.30");
  EXPECT_FALSE(d.desk.rooms[1]);
  EXPECT_EQ(d.color(22, 4), LightGreen);
  EXPECT_EQ(d.clockReadings, 1) << "a refused arrival reads no time";
  EXPECT_TRUE(d.panelBlank());
}

TEST(Arrival, AnEmptyNameIsAccepted) {
  DeskDriver d;
  d.key(1).press({'1', 'b', kEnter});
  d.run();
  ASSERT_TRUE(d.desk.rooms[0]);
  EXPECT_EQ(d.desk.rooms[0]->getName(), "");
  EXPECT_EQ(d.desk.rooms[0]->getCategory(), Child);
}

TEST(CallPatient, TwoAdultRoomsCallFromOneQueueInTheOrderOfTheCommands) {
  DeskDriver d;
  d.arrive(1, 'v', "A");
  d.arrive(2, 'v', "B");
  for (const int c : {'v', 'v', 'v', 'b'}) d.key(3).press({c});
  d.key(4).press({'2'});
  d.key(4).press({'1'});
  d.key(4).press({'2'});
  d.run();
  EXPECT_EQ(d.desk.rooms[1]->getSamples(), 2);
  EXPECT_EQ(d.desk.rooms[0]->getSamples(), 1);
  EXPECT_EQ(d.waiting(), "0 - 1  ") << "the child count is untouched";
  EXPECT_EQ(d.text(9, 39, 56), "Indkald nummer: 3 ");
  EXPECT_EQ(d.text(11, 39, 61), "Patient type:   voksen ");
  EXPECT_EQ(d.color(39, 9), Yellow);
  EXPECT_EQ(d.color(55, 9), LightMagenta) << "the number at column 55";
  EXPECT_EQ(d.color(55, 11), LightMagenta);
  EXPECT_EQ(d.text(7, 49, 49), "2");
}

TEST(CallPatient, AChildIsCalledWithTheSingularWord) {
  DeskDriver d;
  d.arrive(4, 'b', "C");
  d.key(3).press({'b'});
  d.key(4).press({'4'});
  d.run();
  EXPECT_EQ(d.text(11, 55, 60), "barn  ");
  EXPECT_EQ(d.text(9, 55, 56), "1 ");
}

TEST(CallPatient, RefusedForAFreeRoomOrAnEmptyQueue) {
  DeskDriver d;
  d.arrive(1, 'v', "A");
  d.key(3).press({'b'});
  d.key(4).press({'5', 'x'});  // free room
  d.key(4).press({'1', 'x'});  // adults: none waiting
  d.run();
  EXPECT_EQ(d.desk.rooms[0]->getSamples(), 0);
  EXPECT_EQ(d.waiting(), "0 - 1  ");
  EXPECT_EQ(d.desk.queues[1]->length(), 1);
  EXPECT_TRUE(d.panelBlank());
}

TEST(Status, ShowsTheShiftsFiguresFromColumn56) {
  DeskDriver d;
  d.times({at(8, 30), at(10, 15)});
  d.arrive(2, 'v', "Hans");
  for (int i = 0; i < 3; ++i) d.key(3).press({'v'});
  for (int i = 0; i < 3; ++i) d.key(4).press({'2'});
  d.key(5).press({'2'});
  d.run();
  EXPECT_EQ(d.text(7, 39, 49), "Rum nr:   2");
  const char* expected[] = {"Patient:         voksne", "Laborant:        Hans",
                            "Antal proever:   3",      "Moedetid Kl:     8.30",
                            "Arbejdstid:      1.45",   "Proever i timen: 1.71"};
  for (int i = 0; i < 6; ++i) {
    const int row = 9 + 2 * i;
    EXPECT_EQ(d.text(row, 39, 38 + static_cast<int>(std::string(expected[i]).size())), expected[i]);
    EXPECT_EQ(d.color(39, row), Yellow);
    EXPECT_EQ(d.color(56, row), LightMagenta) << row;
  }
  EXPECT_EQ(d.text(10, 39, 79), std::string(41, ' '));
}

// Working time and rate for a shift opened at `start` and asked at `now`.
struct Worked {
  TimeOfDay start;
  TimeOfDay now;
  int samples;
  const char* time;
  const char* rate;
};

class StatusTimes : public testing::TestWithParam<Worked> {};

TEST_P(StatusTimes, AreRealDurations) {
  const Worked w = GetParam();
  DeskDriver d;
  d.times({w.start, w.now});
  d.arrive(1, 'b', "T");
  for (int i = 0; i < w.samples; ++i) d.key(3).press({'b'});
  for (int i = 0; i < w.samples; ++i) d.key(4).press({'1'});
  d.key(5).press({'1'});
  d.run();
  EXPECT_EQ(d.text(17, 56, 62), (std::string(w.time) + "       ").substr(0, 7));
  EXPECT_EQ(d.text(19, 56, 62), (std::string(w.rate) + "       ").substr(0, 7));
  EXPECT_EQ(d.text(9, 56, 61), "boern ");
}

INSTANTIATE_TEST_SUITE_P(Shifts, StatusTimes,
                         testing::Values(Worked{at(8, 30), at(10, 15), 3, "1.45", "1.71"},
                                         Worked{at(9, 55), at(10, 5), 2, "0.10", "12.00"},
                                         Worked{at(23, 50), at(0, 20), 0, "0.30", "0.00"},
                                         Worked{at(23, 50), at(0, 20), 1, "0.30", "2.00"},
                                         Worked{at(14, 7), at(14, 7), 2, "0.00", "0"},
                                         Worked{at(8, 0), at(8, 30), 0, "0.30", "0.00"},
                                         Worked{at(0, 0), at(23, 59), 1, "23.59", "0.04"},
                                         Worked{at(12, 0), at(13, 0), 7, "1.00", "7.00"}));

TEST(Status, RefusedForAFreeRoom) {
  DeskDriver d;
  d.key(5).press({'3'});
  d.press({'x'});
  d.run();
  EXPECT_TRUE(d.panelBlank());
  EXPECT_EQ(d.clockReadings, 0);
}

TEST(Status, ShowsTheNameExactlyAsTyped) {
  DeskDriver d;
  d.key(1).press({'1', 'v', 'B', -101, 'r', 'n', kEnter});
  d.key(5).press({'1'});
  d.run();
  EXPECT_EQ(d.text(11, 56, 60), "B\u00F8rn ");
}

TEST(ClockValue, FormatsAndMinutes) {
  EXPECT_EQ(fixed2(clockValueOf(at(8, 5))), "8.05");
  EXPECT_EQ(fixed2(clockValueOf(at(14, 0))), "14.00");
  EXPECT_EQ(fixed2(clockValueOf(at(0, 7))), "0.07");
  EXPECT_EQ(fixed2(clockValueOf(at(23, 59))), "23.59");
  for (int h = 0; h < 24; ++h) {
    for (int m = 0; m < 60; ++m) ASSERT_EQ(minutesOfDay(clockValueOf(at(h, m))), h * 60 + m);
  }
  EXPECT_EQ(minutesBetween(23.50, 0.20), 30);
  EXPECT_EQ(hourMinute(105), "1.45");
  EXPECT_EQ(hourMinute(0), "0.00");
}

}  // namespace
