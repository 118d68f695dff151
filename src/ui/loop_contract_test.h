#ifndef BOOTSTRAP_UI_LOOP_CONTRACT_TEST_H_
#define BOOTSTRAP_UI_LOOP_CONTRACT_TEST_H_

// What every MainLoop promises, as typed tests; each loop's test file
// instantiates them and defines settle<Loop>().

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ui/loop_test_support.h"

// Runs what the loop left ready to run after run() returned, as the
// window's teardown does.
template <typename Loop>
void settle();

template <typename Loop>
class LoopContract : public testing::Test {};
TYPED_TEST_SUITE_P(LoopContract);

typedef std::vector<std::string> Strings;

TYPED_TEST_P(LoopContract, StoppedLoopEndsAtOnceAndDropsWorkWithoutBlocking) {
  TypeParam loop;
  std::atomic<int> ran(0);
  auto dispatchFromWorker = [&] {
    BoundedThread([&] { EXPECT_FALSE(loop.dispatchSync([&] { ++ran; })); });
  };
  loop.stop(3);
  loop.stop(4);
  dispatchFromWorker();
  EXPECT_EQ(runWithWatchdog(loop), 3);
  dispatchFromWorker();
  EXPECT_FALSE(loop.dispatchSync([&] { ++ran; }));
  EXPECT_EQ(ran, 0);
}

// Nothing else is pending: the loop sleeps until stop() wakes it. On a
// thread of its own, so that a loop that never wakes fails the
// test rather than hanging it.
template <typename TypeParam>
void stopFromAnotherThread() {
  TypeParam loop;
  BoundedThread worker([&] {
    EXPECT_TRUE(loop.dispatchSync([] {}));  // the loop is running now
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    loop.stop(7);
    loop.stop(8);
  });
  EXPECT_EQ(runWithWatchdog(loop), 7);
}

TYPED_TEST_P(LoopContract, StopFromAnotherThreadWakesTheLoopFirstStatusWins) {
  BoundedThread loopThread(stopFromAnotherThread<TypeParam>);
}

TYPED_TEST_P(LoopContract, WorkFromWorkersRunsOnTheLoopThreadInOrder) {
  TypeParam loop;
  const std::thread::id loopThread = std::this_thread::get_id();
  std::vector<int> seen[2];
  std::atomic<int> offLoop(0);
  // The workers start before run(): their first work waits in the queue.
  auto work = [&](int worker) {
    for (int i = 0; i < 200; ++i) {
      loop.dispatchSync([&, worker, i] {
        if (std::this_thread::get_id() != loopThread) ++offLoop;
        seen[worker].push_back(i);
      });
      ASSERT_EQ(seen[worker].size(), i + 1u);  // it waited for the work
    }
  };
  BoundedThread stopper([&] {
    BoundedThread a([&] { work(0); }), b([&] { work(1); });
    a.join();
    b.join();
    loop.stop(0);
  });
  EXPECT_EQ(runWithWatchdog(loop), 0);
  stopper.join();
  EXPECT_EQ(offLoop, 0);
  for (const std::vector<int>& values : seen)
    for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(values[i], int(i));
}

// On a thread of its own: a loop thread waiting for itself would never
// come back.
template <typename TypeParam>
void dispatchInlineOnTheLoopThread() {
  TypeParam loop;
  Strings order;
  EXPECT_TRUE(loop.dispatchSync([&] { order.push_back("before run"); }));
  BoundedThread worker([&] {
    loop.dispatchSync([&] {
      order.push_back("outer");
      EXPECT_TRUE(loop.dispatchSync([&] { order.push_back("inner"); }));
      loop.stop(5);
      // run() has not returned yet, so the loop thread still runs work.
      EXPECT_TRUE(loop.dispatchSync([&] { order.push_back("stopping"); }));
    });
  });
  EXPECT_EQ(runWithWatchdog(loop), 5);
  worker.join();
  EXPECT_FALSE(loop.dispatchSync([&] { order.push_back("after run"); }));
  EXPECT_EQ(order, Strings({"before run", "outer", "inner", "stopping"}));
}

TYPED_TEST_P(LoopContract, DispatchOnTheLoopThreadRunsInline) {
  BoundedThread loopThread(dispatchInlineOnTheLoopThread<TypeParam>);
}

TYPED_TEST_P(LoopContract, WorkersWaitingWhenTheLoopEndsAreReleased) {
  TypeParam loop;
  std::promise<void> firstStarted, firstRelease;
  std::shared_future<void> started = firstStarted.get_future().share();
  std::future<void> release = firstRelease.get_future();
  std::atomic<bool> laterRan(false);
  BoundedThread first([&] {
    EXPECT_TRUE(loop.dispatchSync([&] {
      firstStarted.set_value();
      release.wait_for(std::chrono::seconds(5));
    }));
  });
  // Queued behind the first work, which keeps the loop busy.
  BoundedThread second([&] {
    started.wait();
    EXPECT_FALSE(loop.dispatchSync([&] { laterRan = true; }));
  });
  BoundedThread stopper([&] {
    started.wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    loop.stop(4);
    // Still in run(), busy with the first work: it takes no more.
    EXPECT_FALSE(loop.dispatchSync([&] { laterRan = true; }));
    firstRelease.set_value();
  });
  EXPECT_EQ(runWithWatchdog(loop), 4);
  second.join();
  settle<TypeParam>();
  EXPECT_FALSE(laterRan);
}

REGISTER_TYPED_TEST_SUITE_P(LoopContract,
                            StoppedLoopEndsAtOnceAndDropsWorkWithoutBlocking,
                            StopFromAnotherThreadWakesTheLoopFirstStatusWins,
                            WorkFromWorkersRunsOnTheLoopThreadInOrder,
                            DispatchOnTheLoopThreadRunsInline,
                            WorkersWaitingWhenTheLoopEndsAreReleased);

#endif
