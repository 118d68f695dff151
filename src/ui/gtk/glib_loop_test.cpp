#include "ui/gtk/glib_loop.h"

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/loop_test_support.h"

namespace {

typedef std::vector<std::string> Strings;

// Runs what is ready on the default context without waiting, as the
// window's teardown does after the loop.
void runWhatIsPending() {
  for (int pass = 0; pass < 10; ++pass)
    g_main_context_iteration(nullptr, FALSE);
}

TEST(GLibLoop, StoppedLoopEndsAtOnceAndDropsWorkWithoutBlocking) {
  GLibLoop loop;
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

// Nothing else is attached: the loop sleeps in poll() until stop() wakes
// it. On a thread of its own, so that a loop that never wakes fails the
// test rather than hanging it.
void stopFromAnotherThread() {
  GLibLoop loop;
  BoundedThread worker([&] {
    EXPECT_TRUE(loop.dispatchSync([] {}));  // the loop is running now
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    loop.stop(7);
    loop.stop(8);
  });
  EXPECT_EQ(runWithWatchdog(loop), 7);
}

TEST(GLibLoop, StopFromAnotherThreadWakesTheLoopFirstStatusWins) {
  BoundedThread loopThread(stopFromAnotherThread);
}

TEST(GLibLoop, WorkFromWorkersRunsOnTheLoopThreadInOrder) {
  GLibLoop loop;
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
  GLibLoop loop;
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

TEST(GLibLoop, DispatchOnTheLoopThreadRunsInline) {
  BoundedThread loopThread(dispatchInlineOnTheLoopThread);
}

TEST(GLibLoop, WorkersWaitingWhenTheLoopEndsAreReleased) {
  GLibLoop loop;
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
  runWhatIsPending();
  EXPECT_FALSE(laterRan);
}

TEST(GLibLoop, TimersRunAfterTheirDelayAndStopDiscardsTheRest) {
  typedef std::chrono::steady_clock Clock;
  GLibLoop loop;
  Strings ran;
  const Clock::time_point start = Clock::now();
  Clock::duration lateAfter{};
  loop.runAfter(0.05, [&] {
    ran.push_back("late");
    lateAfter = Clock::now() - start;
    loop.stop(0);
    loop.runAfter(0, [&] { ran.push_back("after stop"); });
  });
  loop.runAfter(-1, [&] { ran.push_back("at once"); });
  loop.runAfter(0.06, [&] { ran.push_back("due after stop"); });
  EXPECT_EQ(runWithWatchdog(loop), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  runWhatIsPending();
  EXPECT_EQ(ran, Strings({"at once", "late"}));
  EXPECT_GE(lateAfter, std::chrono::milliseconds(50));
}

// GTK delivers its events through the same context: they must go on while
// the loop runs.
TEST(GLibLoop, OtherSourcesOfTheContextRunMeanwhile) {
  GLibLoop loop;
  g_timeout_add(
      10,
      [](gpointer data) {
        static_cast<GLibLoop*>(data)->stop(9);
        return G_SOURCE_REMOVE;
      },
      &loop);
  EXPECT_EQ(runWithWatchdog(loop), 9);
}

// The window's teardown runs the context once more; a source left behind
// by a loop that is gone would call into freed memory there.
TEST(GLibLoop, NoSourceOutlivesTheLoop) {
  bool ran = false;
  {
    GLibLoop loop;
    loop.runAfter(0, [&] { ran = true; });
    BoundedThread worker([&] { loop.stop(1); });
  }
  {
    GLibLoop neverRun;
    neverRun.runAfter(0, [&] { ran = true; });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(g_main_context_pending(nullptr));
  runWhatIsPending();
  EXPECT_FALSE(ran);
}

}  // namespace
