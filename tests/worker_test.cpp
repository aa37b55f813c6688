// The worker behind tickets and spoken calls: a full queue lets its oldest
// go, and a job that hangs never holds up the end nor loses what it uses.
#include "worker.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono;

TEST(Worker, AFullQueueDropsItsOldestAndAHungJobNeverHoldsUpTheEnd) {
  std::mutex mutex;
  std::vector<std::string> dropped;
  const auto job = [&](const std::string& name) {
    return Worker::Job{[] {}, [&, name] {
                         std::lock_guard<std::mutex> lock(mutex);
                         dropped.push_back(name);
                       }};
  };
  // What the hung job uses is its own: it still writes there after stop().
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto after = std::make_shared<std::vector<int>>();
  auto started = std::make_shared<std::atomic<bool>>(false);
  Worker worker(2);
  worker.post(Worker::Job{[release, after, started] {
                            *started = true;
                            while (!*release) std::this_thread::sleep_for(milliseconds(5));
                            std::this_thread::sleep_for(milliseconds(20));
                            after->assign(1000, 7);
                          },
                          {}});
  while (!*started) std::this_thread::sleep_for(milliseconds(1));
  for (const char* name : {"a", "b", "c"}) worker.post(job(name));
  EXPECT_EQ(dropped, std::vector<std::string>{"a"}) << "the oldest waiting goes";
  EXPECT_TRUE(worker.busy());

  const auto stopping = steady_clock::now();
  EXPECT_FALSE(worker.stop(milliseconds(200)));
  EXPECT_LT(steady_clock::now() - stopping, milliseconds(1000));
  EXPECT_EQ(dropped, (std::vector<std::string>{"a", "b", "c"}));
  worker.post(job("late"));
  EXPECT_EQ(dropped.back(), "late") << "nothing runs after the end";
  *release = true;
  std::weak_ptr<std::vector<int>> kept = after;
  after.reset();
  for (int i = 0; i < 200 && !kept.expired(); ++i) std::this_thread::sleep_for(milliseconds(5));
  EXPECT_TRUE(kept.expired()) << "the job let go of what it used when it ended";
}

}  // namespace
