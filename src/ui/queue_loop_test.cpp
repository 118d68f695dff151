#include "ui/queue_loop.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/loop_contract_test.h"
#include "ui/loop_test_support.h"

template <>
void settle<QueueLoop>() {}

INSTANTIATE_TYPED_TEST_SUITE_P(Queue, LoopContract, QueueLoop);

namespace {

TEST(QueueLoop, TimersRunAfterTheirDelayInDeadlineOrder) {
  typedef std::chrono::steady_clock Clock;
  QueueLoop loop;
  Strings order;
  const Clock::time_point start = Clock::now();
  Clock::duration lateAfter{};
  loop.runAfter(0.05, [&] {
    order.push_back("late");
    lateAfter = Clock::now() - start;
    loop.stop(0);
  });
  loop.runAfter(0, [&] { order.push_back("first"); });
  loop.runAfter(-1, [&] { order.push_back("second"); });
  loop.runAfter(30, [&] { order.push_back("never"); });  // the loop ends first
  EXPECT_EQ(runWithWatchdog(loop), 0);
  EXPECT_EQ(order, Strings({"first", "second", "late"}));
  EXPECT_GE(lateAfter, std::chrono::milliseconds(50));
}

TEST(QueueLoop, TimerFromAnotherThreadWakesTheWaitingLoop) {
  QueueLoop loop;
  loop.runAfter(30, [] {});
  BoundedThread worker([&] {
    EXPECT_TRUE(loop.dispatchSync([] {}));
    loop.runAfter(0, [&] { loop.stop(6); });
  });
  EXPECT_EQ(runWithWatchdog(loop), 6);
}

}  // namespace
