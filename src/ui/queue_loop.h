#ifndef BOOTSTRAP_UI_QUEUE_LOOP_H_
#define BOOTSTRAP_UI_QUEUE_LOOP_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

#include "ui/loop_dispatches.h"
#include "ui/main_loop.h"

// A MainLoop without a window system: work from other threads and timers
// on the steady clock, under one mutex. Dispatches behave as
// LoopDispatches says; each pass of the loop runs at most one queued work
// and one due timer, so neither starves the other. stop() lets work already
// running finish and drops the timers. The loop must outlive every call
// into it.
class QueueLoop : public MainLoop {
 public:
  int run() override;
  void stop(int status) override;
  bool dispatchSync(const std::function<void()>& work) override;
  // Also safe from other threads. A delay below zero counts as zero, one
  // beyond a year as a year.
  void runAfter(double seconds, std::function<void()> work) override;

  // Whether the caller is on the loop thread, for checks in tests.
  bool isLoopThread() const;

 private:
  typedef std::chrono::steady_clock Clock;

  bool runDueTimer(std::unique_lock<std::mutex>& lock);
  void waitForWork(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // the loop: work, timer or stop
  LoopDispatches dispatches_;
  // A multimap keeps timers with the same deadline in the order given.
  std::multimap<Clock::time_point, std::function<void()>> timers_;
};

#endif
