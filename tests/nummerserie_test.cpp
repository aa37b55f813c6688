#include "nummerserie.hpp"

#include <gtest/gtest.h>

namespace {

TEST(Nummerserie, NumbersRunFromOneAndAreNeverReused) {
  nummerserie adults;
  EXPECT_EQ(adults.length(), 0);
  EXPECT_EQ(adults.enqueue(), 1);
  EXPECT_EQ(adults.enqueue(), 2);
  EXPECT_EQ(adults.enqueue(), 3);
  EXPECT_EQ(adults.dequeue(), 1);
  EXPECT_EQ(adults.dequeue(), 2);
  EXPECT_EQ(adults.length(), 1);
  EXPECT_EQ(adults.enqueue(), 4);
  EXPECT_EQ(adults.dequeue(), 3);
  EXPECT_EQ(adults.dequeue(), 4);
  EXPECT_EQ(adults.length(), 0);
  EXPECT_EQ(adults.enqueue(), 5) << "an emptied series keeps counting";
}

TEST(Nummerserie, EmptiedSeriesTakesANewEntryAsHeadAndTail) {
  nummerserie s;
  s.enqueue();
  s.dequeue();
  EXPECT_EQ(s.enqueue(), 2);
  EXPECT_EQ(s.length(), 1);
  EXPECT_EQ(s.dequeue(), 2);
  EXPECT_EQ(s.length(), 0);
  EXPECT_EQ(s.enqueue(), 3);
  EXPECT_EQ(s.enqueue(), 4);
  EXPECT_EQ(s.dequeue(), 3);
  EXPECT_EQ(s.dequeue(), 4);
}

TEST(Nummerserie, WaitingNumbersAreTheLastLengthIssuedInOrder) {
  nummerserie s;
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < round % 7; ++i) s.enqueue();
    for (int i = 0; i < round % 5 && s.length() > 0; ++i) {
      const int expected = s.counter() - s.length() + 1;
      EXPECT_EQ(s.dequeue(), expected);
    }
  }
}

TEST(Nummerserie, ALongQueueIsDestroyedWithoutDeepRecursion) {
  auto s = std::make_unique<nummerserie>();
  for (int i = 0; i < 1'000'000; ++i) s->enqueue();
  s.reset();
  SUCCEED();
}

}  // namespace
