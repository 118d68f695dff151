#ifndef BOOTSTRAP_UI_GTK_GLIB_LOOP_H_
#define BOOTSTRAP_UI_GTK_GLIB_LOOP_H_

#include <glib.h>

#include <functional>
#include <mutex>
#include <set>

#include "ui/loop_dispatches.h"
#include "ui/main_loop.h"

// A MainLoop on GLib's default main context, the one GTK delivers its
// events on. It needs no display, only GLib.
//
// Dispatches behave as LoopDispatches says; queued work runs at idle
// priority, so input and redraws go first. stop() lets work already running
// finish and discards the timers of runAfter. No source of the loop
// outlives it or is left on the context once run() returns. The loop must
// outlive every call into it.
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
  struct Timer;

  static gboolean onWake(gpointer self);
  static gboolean onTimer(gpointer timer);
  static void deleteTimer(gpointer timer);

  bool stopped();
  void wake();
  bool runQueuedWork();
  bool claimTimer(GSource* source);
  GSource* takeWakeSource();

  GMainContext* const context_;
  std::mutex mutex_;
  LoopDispatches dispatches_;
  // Attached while there is queued work or a stop to notice.
  GSource* wakeSource_ = nullptr;
  // Pending timers, each with a reference of the loop's own.
  std::set<GSource*> timers_;
};

#endif
