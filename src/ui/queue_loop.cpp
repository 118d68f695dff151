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

QueueLoop::QueueLoop() : loopThread_(std::this_thread::get_id()) {}

int QueueLoop::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  loopThread_ = std::this_thread::get_id();
  running_ = true;
  while (!stopped_) {
    bool ran = runQueuedWork(lock);
    if (!stopped_) ran = runDueTimer(lock) || ran;
    if (!ran && !stopped_) waitForWork(lock);
  }
  running_ = false;
  return status_;
}

void QueueLoop::stop(int status) {
  // Declared before the lock so that dropped work dies outside it.
  std::multimap<Clock::time_point, std::function<void()>> dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_) return;
  stopped_ = true;
  status_ = status;
  for (Dispatch* dispatch : queue_) finish(dispatch, false);
  queue_.clear();
  dropped.swap(timers_);
  finished_.notify_all();
  wake_.notify_one();
}

bool QueueLoop::dispatchSync(const std::function<void()>& work) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (ended()) return false;
  if (std::this_thread::get_id() == loopThread_) {
    lock.unlock();
    work();
    return true;
  }
  // Stopping: the loop takes no more work from other threads.
  if (stopped_) return false;
  Dispatch dispatch = {&work, false, false};
  queue_.push_back(&dispatch);
  wake_.notify_one();
  finished_.wait(lock, [&dispatch] { return dispatch.finished; });
  return dispatch.ran;
}

void QueueLoop::runAfter(double seconds, std::function<void()> work) {
  Clock::time_point deadline = Clock::now() + delayOf(seconds);
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_) return;
  timers_.emplace(deadline, std::move(work));
  wake_.notify_one();
}

bool QueueLoop::isLoopThread() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::this_thread::get_id() == loopThread_;
}

bool QueueLoop::runQueuedWork(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  Dispatch* dispatch = queue_.front();
  queue_.pop_front();
  lock.unlock();
  (*dispatch->work)();
  lock.lock();
  finish(dispatch, true);
  finished_.notify_all();
  return true;
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

void QueueLoop::finish(Dispatch* dispatch, bool ran) {
  dispatch->finished = true;
  dispatch->ran = ran;
}
