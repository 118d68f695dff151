#include "ui/gtk/glib_loop.h"

namespace {

guint millisecondsOf(double seconds) {
  double milliseconds = seconds * 1000;
  if (!(milliseconds > 0)) return 0;  // also NaN
  return milliseconds < G_MAXUINT ? static_cast<guint>(milliseconds)
                                  : G_MAXUINT;
}

// Detaches the source, if any, and drops the reference held on it.
void dropSource(GSource* source) {
  if (!source) return;
  g_source_destroy(source);
  g_source_unref(source);
}

}  // namespace

struct GLibLoop::Timer {
  GLibLoop* loop;
  GSource* source;
  std::function<void()> work;
};

GLibLoop::GLibLoop()
    : context_(g_main_context_ref(g_main_context_default())) {}

GLibLoop::~GLibLoop() {
  // Left by a loop that never ran or never stopped.
  dropSource(takeWakeSource());
  for (GSource* timer : timers_) dropSource(timer);
  g_main_context_unref(context_);
}

int GLibLoop::run() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    dispatches_.beginRun(lock);
  }
  while (!stopped()) g_main_context_iteration(context_, TRUE);
  std::unique_lock<std::mutex> lock(mutex_);
  int status = dispatches_.endRun(lock);
  GSource* wake = takeWakeSource();
  lock.unlock();
  dropSource(wake);
  return status;
}

void GLibLoop::stop(int status) {
  std::set<GSource*> dropped;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!dispatches_.stop(status, lock)) return;
    dropped.swap(timers_);
    wake();  // run() may be waiting in poll()
  }
  // Outside the lock: a timer's work dies with its source.
  for (GSource* timer : dropped) dropSource(timer);
}

bool GLibLoop::dispatchSync(const std::function<void()>& work) {
  std::unique_lock<std::mutex> lock(mutex_);
  return dispatches_.dispatchSync(work, lock, [this] { wake(); });
}

void GLibLoop::runAfter(double seconds, std::function<void()> work) {
  GSource* source = g_timeout_source_new(millisecondsOf(seconds));
  g_source_set_callback(source, onTimer,
                        new Timer{this, source, std::move(work)}, deleteTimer);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!dispatches_.stopped()) {
      timers_.insert(source);
      g_source_attach(source, context_);
      return;
    }
  }
  g_source_unref(source);
}

gboolean GLibLoop::onWake(gpointer self) {
  return static_cast<GLibLoop*>(self)->runQueuedWork() ? G_SOURCE_CONTINUE
                                                       : G_SOURCE_REMOVE;
}

gboolean GLibLoop::onTimer(gpointer data) {
  Timer* timer = static_cast<Timer*>(data);
  if (timer->loop->claimTimer(timer->source)) timer->work();
  return G_SOURCE_REMOVE;
}

void GLibLoop::deleteTimer(gpointer timer) {
  delete static_cast<Timer*>(timer);
}

bool GLibLoop::stopped() {
  std::lock_guard<std::mutex> lock(mutex_);
  return dispatches_.stopped();
}

// Called with the mutex held.
void GLibLoop::wake() {
  if (wakeSource_) return;
  wakeSource_ = g_idle_source_new();
  g_source_set_callback(wakeSource_, onWake, this, nullptr);
  g_source_attach(wakeSource_, context_);
}

// One work a pass, so that events and redraws come in between; the wake
// source goes once the queue is empty.
bool GLibLoop::runQueuedWork() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (dispatches_.runOldest(lock)) return true;
  GSource* wake = takeWakeSource();
  lock.unlock();
  dropSource(wake);
  return false;
}

// False when stop() has dropped the timer meanwhile.
bool GLibLoop::claimTimer(GSource* source) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (timers_.erase(source) == 0) return false;
  g_source_unref(source);  // GLib holds it while it dispatches it
  return true;
}

// Called with the mutex held.
GSource* GLibLoop::takeWakeSource() {
  GSource* source = wakeSource_;
  wakeSource_ = nullptr;
  return source;
}
