#ifndef BOOTSTRAP_NET_URL_SESSION_FIXTURE_H_
#define BOOTSTRAP_NET_URL_SESSION_FIXTURE_H_

#include <stdint.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "net/url_session.h"
#include "support/scratch_tree.h"
#include "support/test_http_server.h"

// What the session's tests share: a delegate that records its calls, and a
// fixture with a scratch directory and a server of its own.

using Clock = std::chrono::steady_clock;
const auto kPatience = std::chrono::seconds(5);

// Sets (or, given null, unsets) a variable for the scope; the session reads
// it when made.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    set(value);
  }
  ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void set(const char* value) {
    if (value)
      setenv(name_, value, 1);
    else
      unsetenv(name_);
  }
  const char* const name_;
  std::optional<std::string> old_;
};

struct Write {
  int64_t bytes, total, expected;
};

// Records the delegate's calls; hooks run on the worker inside the call.
// Read the record once the session is gone (its worker joined).
class Recorder : public UrlSessionDelegate {
 public:
  void didWriteData(DownloadTask& task, int64_t bytes, int64_t total,
                    int64_t expected) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      note('w');
      writes.push_back({bytes, total, expected});
      if (!firstResponse && task.response()) firstResponse = *task.response();
    }
    if (onWrite) onWrite(task);
  }
  void didFinishDownloadingToURL(DownloadTask& task,
                                 const std::string& path) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      note('f');
      finishedPath = path;
      finishedBody = readFile(path);
      if (task.response()) finishResponse = *task.response();
    }
    if (onFinish) onFinish(task);
  }
  void didCompleteWithError(DownloadTask& task,
                            const UrlError& error) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      note('c');
      errors.push_back(error);
    }
    completed_.notify_all();
    if (onComplete) onComplete(task);
  }

  void willRetry(DownloadTask& task, const UrlError& error, int retry,
                 std::chrono::milliseconds delay) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      note('r');
      retries.push_back({error, retry, delay});
    }
    if (onRetry) onRetry(task);
  }

  bool waitForCompletion() {
    std::unique_lock<std::mutex> lock(mutex_);
    return completed_.wait_for(lock, kPatience,
                               [this] { return !errors.empty(); });
  }
  // The calls in order, a run of writes as one 'w'.
  std::string calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  // The kind of the one completion; fails the test unless there is one.
  UrlError::Kind kind() const {
    std::lock_guard<std::mutex> lock(mutex_);
    EXPECT_EQ(errors.size(), 1u);
    return errors.empty() ? UrlError::Kind::kNone : errors[0].kind;
  }

  std::function<void(DownloadTask&)> onWrite, onFinish, onComplete, onRetry;
  std::vector<Write> writes;
  std::optional<UrlResponse> firstResponse, finishResponse;
  std::string finishedPath, finishedBody;
  std::vector<UrlError> errors;
  struct Retry {
    UrlError error;
    int retry;
    std::chrono::milliseconds delay;
  };
  std::vector<Retry> retries;
  std::set<std::thread::id> threads;

 private:
  void note(char call) {
    if (call != 'w' || calls_.empty() || calls_.back() != 'w') calls_ += call;
    threads.insert(std::this_thread::get_id());
  }

  mutable std::mutex mutex_;
  std::condition_variable completed_;
  std::string calls_;
};

RetryPolicy noRetries();
// Retries with waits of a few milliseconds.
RetryPolicy quickRetries();

class UrlSessionTest : public testing::Test {
 protected:
  // Downloads url into dir (the scratch directory by default) and waits
  // for the session to be gone.
  void download(const std::string& url, Recorder* recorder,
                const std::string& dir = "",
                const std::string& ifNoneMatch = "");
  // Cancels the task, or invalidates the session, and destroys the
  // session: both at once, also when the server is silent.
  void stopPromptly(bool invalidate, DownloadTask* task,
                    std::unique_ptr<UrlSession> session, Recorder* recorder);
  TestReply generated(int64_t size) {
    TestReply reply;
    reply.generatedSize = size;
    return reply;
  }
  // Every test: no temporary file stays behind.
  void TearDown() override { EXPECT_TRUE(listDir(scratch_.path()).empty()); }

  ScratchTree scratch_;
  TestHttpServer server_;
  // Most tests watch one request: no retries unless they ask.
  RetryPolicy retry_ = noRetries();
};

// A URL path made of a case's name.
std::string pathOf(std::string name);

TestReply withHeaders(TestReply reply,
                      std::vector<std::pair<std::string, std::string>> headers);

// Bytes reported to the delegate, each counted once.
int64_t reportedBytes(const Recorder& recorder);

#endif
