#ifndef BOOTSTRAP_UI_LOOP_DISPATCHES_H_
#define BOOTSTRAP_UI_LOOP_DISPATCHES_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// What every MainLoop keeps the same way, whatever delivers its events:
// which thread is the loop's, whether it runs or has stopped, and the
// dispatchSync calls waiting for it. Not locked by itself: each call takes
// the lock of the loop's own mutex, held.
//
// The loop thread is the thread that made the loop until run() is called,
// then the thread that called run(). There, dispatchSync runs work inline,
// unless the loop has ended (stopped, and not or no longer in run()). From
// other threads it queues the work and waits; work still queued when the
// loop stops is dropped and its caller gets false at once. Queued work
// runs in the order it came in.
class LoopDispatches {
 public:
  LoopDispatches() : loopThread_(std::this_thread::get_id()) {}

  // run() begins, on the calling thread.
  void beginRun(std::unique_lock<std::mutex>& lock);
  // run() ends; the status of the stop.
  int endRun(std::unique_lock<std::mutex>& lock);
  // False when the loop had stopped already; else releases every waiting
  // caller with false.
  bool stop(int status, std::unique_lock<std::mutex>& lock);
  bool stopped() const { return stopped_; }

  // As MainLoop::dispatchSync; wake tells the loop that work is queued.
  bool dispatchSync(const std::function<void()>& work,
                    std::unique_lock<std::mutex>& lock,
                    const std::function<void()>& wake);
  // Runs the oldest queued work with the lock released; false when none.
  bool runOldest(std::unique_lock<std::mutex>& lock);
  bool empty() const { return queue_.empty(); }

  bool isLoopThread() const {
    return std::this_thread::get_id() == loopThread_;
  }

 private:
  // A dispatchSync call waiting on its caller's stack.
  struct Dispatch {
    const std::function<void()>* work;
    bool finished;
    bool ran;
  };

  std::condition_variable finished_;  // callers of dispatchSync
  std::thread::id loopThread_;
  bool running_ = false;
  bool stopped_ = false;
  int status_ = 0;
  std::deque<Dispatch*> queue_;
};

#endif
