#include "ui/queue_loop.h"

#include <algorithm>

namespace {

// A year stands for "never" and keeps the conversion from overflowing.
std::chrono::steady_clock::duration delayOf(double seconds) {
  const double kLongest = 365 * 24 * 3600.0;
  if (!(seconds > 0)) seconds = 0;  // also NaN
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(std::min(seconds, kLongest)));
}

}  // namespace

int QueueLoop::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  dispatches_.beginRun(lock);
  while (!dispatches_.stopped()) {
    bool ran = dispatches_.runOldest(lock);
    if (!dispatches_.stopped()) ran = runDueTimer(lock) || ran;
    if (!ran && !dispatches_.stopped()) waitForWork(lock);
  }
  return dispatches_.endRun(lock);
}

void QueueLoop::stop(int status) {
  // Declared before the lock so that dropped work dies outside it.
  std::multimap<Clock::time_point, std::function<void()>> dropped;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!dispatches_.stop(status, lock)) return;
  dropped.swap(timers_);
  wake_.notify_one();
}

bool QueueLoop::dispatchSync(const std::function<void()>& work) {
  std::unique_lock<std::mutex> lock(mutex_);
  return dispatches_.dispatchSync(work, lock, [this] { wake_.notify_one(); });
}

void QueueLoop::runAfter(double seconds, std::function<void()> work) {
  Clock::time_point deadline = Clock::now() + delayOf(seconds);
  std::lock_guard<std::mutex> lock(mutex_);
  if (dispatches_.stopped()) return;
  timers_.emplace(deadline, std::move(work));
  wake_.notify_one();
}

bool QueueLoop::isLoopThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dispatches_.isLoopThread();
}

bool QueueLoop::runDueTimer(std::unique_lock<std::mutex>& lock) {
  if (timers_.empty() || timers_.begin()->first > Clock::now()) return false;
  {
    std::function<void()> work = std::move(timers_.begin()->second);
    timers_.erase(timers_.begin());
    lock.unlock();
    work();
  }
  lock.lock();
  return true;
}

void QueueLoop::waitForWork(std::unique_lock<std::mutex>& lock) {
  if (timers_.empty()) {
    wake_.wait(lock);
    return;
  }
  // A copy: wait_until reads the deadline after waking, and stop() may
  // have dropped the timer meanwhile.
  Clock::time_point deadline = timers_.begin()->first;
  wake_.wait_until(lock, deadline);
}
