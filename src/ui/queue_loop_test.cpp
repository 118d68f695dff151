#include "ui/queue_loop.h"

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/loop_test_support.h"

namespace {

typedef std::vector<std::string> Strings;

TEST(QueueLoop, StoppedLoopEndsAtOnceAndDropsWorkWithoutBlocking) {
  QueueLoop loop;
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

TEST(QueueLoop, StopFromAnotherThreadFirstStatusWins) {
  QueueLoop loop;
  loop.runAfter(30, [] {});  // the loop waits for it when stopped
  BoundedThread worker([&] {
    EXPECT_TRUE(loop.dispatchSync([] {}));  // the loop is running now
    loop.stop(7);
    loop.stop(8);
  });
  EXPECT_EQ(runWithWatchdog(loop), 7);
}

TEST(QueueLoop, WorkFromWorkersRunsOnTheLoopThreadInOrder) {
  QueueLoop loop;
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
void dispatchInlineOnTheLoopThread() {
  QueueLoop loop;
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

TEST(QueueLoop, DispatchOnTheLoopThreadRunsInline) {
  BoundedThread loopThread(dispatchInlineOnTheLoopThread);
}

TEST(QueueLoop, WorkersWaitingWhenTheLoopEndsAreReleased) {
  QueueLoop loop;
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
  EXPECT_FALSE(laterRan);
}

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
