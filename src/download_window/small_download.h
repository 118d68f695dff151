#ifndef BOOTSTRAP_DOWNLOAD_WINDOW_SMALL_DOWNLOAD_H_
#define BOOTSTRAP_DOWNLOAD_WINDOW_SMALL_DOWNLOAD_H_

#include <stddef.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "fetch_policy/judged_delegate.h"
#include "net/url_session.h"

// Fetches a small file (an agent's signature) with a URL session of its
// own, so with the same TLS, redirect, stall and retry rules as the
// archive, and waits for it. One fetch at a time.
class SmallDownload : private JudgedDelegate {
 public:
  explicit SmallDownload(size_t maxSize) : maxSize_(maxSize) {}

  enum class Outcome { kFetched, kRefused, kTooLarge, kFailed, kCancelled };
  struct Result {
    Outcome outcome = Outcome::kFailed;
    long statusCode = 0;  // with kRefused
    std::string text;     // with kFetched
    std::string why;      // with kFailed: one line, for the log
  };
  // The body of a 200 answer at url, at most maxSize bytes, over a session
  // makeSession makes: its temporary file goes into tempDir, its requests
  // the way router says.
  Result fetch(const std::string& url, const std::string& tempDir,
               const SessionSettings& settings, const ProxyRouter& router,
               const UrlSessionMaker& makeSession);
  // Ends the fetch in progress, and any later one, at once. Callable from
  // any thread.
  void cancel();

 private:
  void startsOver(const std::string& why) override;
  void didWriteData(DownloadTask& task, int64_t bytesWritten,
                    int64_t totalBytesWritten,
                    int64_t totalBytesExpected) override;
  void didFinishDownloadingToURL(DownloadTask& task,
                                 const std::string& path) override;
  void didCompleteWithError(DownloadTask& task,
                            const UrlError& error) override;
  void willRetry(DownloadTask& task, const UrlError& error, int retry,
                 std::chrono::milliseconds delay) override;
  void finish(Result result);
  void finishLocked(Result result);  // with mutex_ held

  const size_t maxSize_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  bool cancelled_ = false;
  Result result_;
  std::unique_ptr<UrlSession> session_;
};

#endif
