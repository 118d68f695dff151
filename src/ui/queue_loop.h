#ifndef BOOTSTRAP_UI_QUEUE_LOOP_H_
#define BOOTSTRAP_UI_QUEUE_LOOP_H_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "ui/main_loop.h"

// A MainLoop without a window system: a queue of work guarded by a mutex,
// and timers on the steady clock.
//
// The loop thread is the thread that made the loop until run() is called,
// then the thread that called run(). There, dispatchSync runs work inline,
// unless the loop has ended (stopped, and not or no longer in run()). From
// other threads it queues the work and waits; work still queued when
// stop() is called is dropped and its caller gets false at once. Queued
// work runs in the order it came in, and each pass of the loop runs at most
// one queued work and one due timer, so neither starves the other. stop()
// lets work already running finish. The loop must outlive every call into
// it.
class QueueLoop : public MainLoop {
 public:
  QueueLoop();

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
  // A dispatchSync call waiting on its caller's stack.
  struct Dispatch {
    const std::function<void()>* work;
    bool finished;
    bool ran;
  };

  bool ended() const { return stopped_ && !running_; }
  bool runQueuedWork(std::unique_lock<std::mutex>& lock);
  bool runDueTimer(std::unique_lock<std::mutex>& lock);
  void waitForWork(std::unique_lock<std::mutex>& lock);
  void finish(Dispatch* dispatch, bool ran);

  mutable std::mutex mutex_;
  std::condition_variable wake_;      // the loop: work, timer or stop
  std::condition_variable finished_;  // callers of dispatchSync
  std::thread::id loopThread_;
  bool running_ = false;
  bool stopped_ = false;
  int status_ = 0;
  std::deque<Dispatch*> queue_;
  // A multimap keeps timers with the same deadline in the order given.
  std::multimap<Clock::time_point, std::function<void()>> timers_;
};

#endif
