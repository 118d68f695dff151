#include "ui/gtk/glib_loop.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/loop_contract_test.h"
#include "ui/loop_test_support.h"

namespace {

// Runs what is ready on the default context without waiting, as the
// window's teardown does after the loop.
void runWhatIsPending() {
  for (int pass = 0; pass < 10; ++pass)
    g_main_context_iteration(nullptr, FALSE);
}

}  // namespace

template <>
void settle<GLibLoop>() {
  runWhatIsPending();
}

INSTANTIATE_TYPED_TEST_SUITE_P(GLib, LoopContract, GLibLoop);

namespace {

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
