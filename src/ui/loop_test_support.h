#ifndef BOOTSTRAP_UI_LOOP_TEST_SUPPORT_H_
#define BOOTSTRAP_UI_LOOP_TEST_SUPPORT_H_

// Bounded waits for tests of loops: a fault fails a test, never hangs it.

#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <functional>
#include <future>

#include "ui/main_loop.h"

// Runs the loop; after five seconds stops it with -99.
inline int runWithWatchdog(MainLoop& loop) {
  std::promise<void> ended;
  std::future<void> watchdog = std::async(
      std::launch::async,
      [&loop](std::future<void> done) {
        if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
          loop.stop(-99);
      },
      ended.get_future());
  int status = loop.run();
  ended.set_value();
  return status;
}

// A thread waited for ten seconds at most (longer than the watchdog): one
// still running then is stuck for good, and the test binary aborts.
class BoundedThread {
 public:
  explicit BoundedThread(std::function<void()> work)
      : done_(std::async(std::launch::async, std::move(work))) {}
  ~BoundedThread() { join(); }

  void join() {
    if (!done_.valid()) return;
    if (done_.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      fprintf(stderr, "a thread is stuck; giving up\n");
      abort();
    }
    done_.get();
  }

 private:
  std::future<void> done_;
};

#endif
