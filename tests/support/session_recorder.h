#ifndef BOOTSTRAP_TESTS_SUPPORT_SESSION_RECORDER_H_
#define BOOTSTRAP_TESTS_SUPPORT_SESSION_RECORDER_H_

#include <stdint.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fetch_policy/judged_delegate.h"
#include "net/url_session.h"

// How long a test waits for what a session should do at once.
const auto kPatience = std::chrono::seconds(5);

struct Write {
  int64_t bytes, total, expected;
};

// Records a URL session delegate's calls; hooks run on the worker inside
// the call. Read the record once the session is gone (its worker joined).
// Bytes held are judged as the installer judges them.
class SessionRecorder : public JudgedDelegate {
 public:
  void willWriteBody(DownloadTask& task, int64_t offset) override;
  void didWriteData(DownloadTask& task, int64_t bytes, int64_t total,
                    int64_t expected) override;
  void didFinishDownloadingToURL(DownloadTask& task,
                                 const std::string& path) override;
  void didCompleteWithError(DownloadTask& task,
                            const UrlError& error) override;
  void willRetry(DownloadTask& task, const UrlError& error, int retry,
                 std::chrono::milliseconds delay) override;

  // Whether the completion came within kPatience.
  bool waitForCompletion();
  // The calls in order, a run of writes as one 'w'.
  std::string calls() const;
  // The kind of the one completion; fails the test unless there is one.
  UrlError::Kind kind() const;

  std::function<void(DownloadTask&)> onWrite, onFinish, onComplete, onRetry;
  std::vector<Write> writes;
  std::vector<int64_t> bodyStarts;  // the offsets willWriteBody gave
  std::vector<std::string> startsOverLines;
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
  void startsOver(const std::string& why) override;
  void note(char call);

  mutable std::mutex mutex_;
  std::condition_variable completed_;
  std::string calls_;
};

// Bytes reported to the delegate, each counted once.
int64_t reportedBytes(const SessionRecorder& recorder);

#endif
