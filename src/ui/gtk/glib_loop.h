#ifndef BOOTSTRAP_UI_GTK_GLIB_LOOP_H_
#define BOOTSTRAP_UI_GTK_GLIB_LOOP_H_

#include <glib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "ui/main_loop.h"

// A MainLoop on GLib's default main context, the one GTK delivers its
// events on. It needs no display, only GLib.
//
// The loop thread is the thread that made the loop until run() is called,
// then the thread that called run(). There, dispatchSync runs work inline,
// unless the loop has ended (stopped, and not or no longer in run()). From
// other threads it queues the work, wakes the context and waits; work still
// queued when stop() is called is dropped and its caller gets false at
// once. Queued work runs in the order it came in, at idle priority, so
// input and redraws go first. stop() lets work already running finish and
// discards the timers of runAfter. No source of the loop outlives it or is
// left on the context once run() returns. The loop must outlive every call
// into it.
class GLibLoop : public MainLoop {
 public:
  GLibLoop();
  ~GLibLoop() override;
  GLibLoop(const GLibLoop&) = delete;
  GLibLoop& operator=(const GLibLoop&) = delete;

  int run() override;
  void stop(int status) override;
  bool dispatchSync(const std::function<void()>& work) override;
  // A delay below zero counts as zero, one beyond the longest GLib can
  // wait (about 49 days) as that.
  void runAfter(double seconds, std::function<void()> work) override;

 private:
  // A dispatchSync call waiting on its caller's stack.
  struct Dispatch {
    const std::function<void()>* work;
    bool finished;
    bool ran;
  };
  struct Timer;

  static gboolean onWake(gpointer self);
  static gboolean onTimer(gpointer timer);
  static void deleteTimer(gpointer timer);

  bool ended() const { return stopped_ && !running_; }
  bool stopped();
  void wake();
  bool runQueuedWork();
  bool claimTimer(GSource* source);
  GSource* takeWakeSource();

  GMainContext* const context_;
  std::mutex mutex_;
  std::condition_variable finished_;  // callers of dispatchSync
  std::thread::id loopThread_;
  bool running_ = false;
  bool stopped_ = false;
  int status_ = 0;
  std::deque<Dispatch*> queue_;
  // Attached while there is queued work or a stop to notice.
  GSource* wakeSource_ = nullptr;
  // Pending timers, each with a reference of the loop's own.
  std::set<GSource*> timers_;
};

#endif
