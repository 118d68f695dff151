#include "ui/loop_dispatches.h"

void LoopDispatches::beginRun(std::unique_lock<std::mutex>&) {
  loopThread_ = std::this_thread::get_id();
  running_ = true;
}

int LoopDispatches::endRun(std::unique_lock<std::mutex>&) {
  running_ = false;
  return status_;
}

bool LoopDispatches::stop(int status, std::unique_lock<std::mutex>&) {
  if (stopped_) return false;
  stopped_ = true;
  status_ = status;
  for (Dispatch* dispatch : queue_) dispatch->finished = true;
  queue_.clear();
  finished_.notify_all();
  return true;
}

bool LoopDispatches::dispatchSync(const std::function<void()>& work,
                                  std::unique_lock<std::mutex>& lock,
                                  const std::function<void()>& wake) {
  if (stopped_ && !running_) return false;  // ended
  if (isLoopThread()) {
    lock.unlock();
    work();
    return true;
  }
  // Stopping: the loop takes no more work from other threads.
  if (stopped_) return false;
  Dispatch dispatch = {&work, false, false};
  queue_.push_back(&dispatch);
  wake();
  finished_.wait(lock, [&dispatch] { return dispatch.finished; });
  return dispatch.ran;
}

bool LoopDispatches::runOldest(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  Dispatch* dispatch = queue_.front();
  queue_.pop_front();
  lock.unlock();
  (*dispatch->work)();
  lock.lock();
  dispatch->finished = true;
  dispatch->ran = true;
  finished_.notify_all();
  return true;
}
