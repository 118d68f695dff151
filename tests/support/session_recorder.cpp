#include "support/session_recorder.h"

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

void SessionRecorder::startsOver(const std::string& why) {
  std::lock_guard<std::mutex> lock(mutex_);
  startsOverLines.push_back(why);
}

void SessionRecorder::willWriteBody(DownloadTask& /*task*/, int64_t offset) {
  std::lock_guard<std::mutex> lock(mutex_);
  bodyStarts.push_back(offset);
}

void SessionRecorder::didWriteData(DownloadTask& task, int64_t bytes,
                                   int64_t total, int64_t expected) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    note('w');
    writes.push_back({bytes, total, expected});
    if (!firstResponse && task.response()) firstResponse = *task.response();
  }
  if (onWrite) onWrite(task);
}

void SessionRecorder::didFinishDownloadingToURL(DownloadTask& task,
                                                const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    note('f');
    finishedPath = path;
    finishedBody = readFile(path);
    if (task.response()) finishResponse = *task.response();
  }
  if (onFinish) onFinish(task);
}

void SessionRecorder::didCompleteWithError(DownloadTask& task,
                                           const UrlError& error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    note('c');
    errors.push_back(error);
  }
  completed_.notify_all();
  if (onComplete) onComplete(task);
}

void SessionRecorder::willRetry(DownloadTask& task, const UrlError& error,
                                int retry, std::chrono::milliseconds delay) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    note('r');
    retries.push_back({error, retry, delay});
  }
  if (onRetry) onRetry(task);
}

bool SessionRecorder::waitForCompletion() {
  std::unique_lock<std::mutex> lock(mutex_);
  return completed_.wait_for(lock, kPatience,
                             [this] { return !errors.empty(); });
}

std::string SessionRecorder::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

UrlError::Kind SessionRecorder::kind() const {
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_EQ(errors.size(), 1u);
  return errors.empty() ? UrlError::Kind::kNone : errors[0].kind;
}

void SessionRecorder::note(char call) {
  if (call != 'w' || calls_.empty() || calls_.back() != 'w') calls_ += call;
  threads.insert(std::this_thread::get_id());
}

int64_t reportedBytes(const SessionRecorder& recorder) {
  int64_t total = 0;
  for (const Write& write : recorder.writes) total += write.bytes;
  return total;
}
