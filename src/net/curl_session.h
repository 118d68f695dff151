#ifndef BOOTSTRAP_NET_CURL_SESSION_H_
#define BOOTSTRAP_NET_CURL_SESSION_H_

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include <curl/curl.h>

#include "net/proxy_route.h"
#include "net/session_settings.h"
#include "net/url_session.h"

// The session that makeUrlSession makes, and its one task (both in
// url_session.cpp): what the transfer on the worker reports to and asks
// whether it is cancelled.

class CurlSession;
struct Outcome;

class CurlTask : public DownloadTask {
 public:
  CurlTask(CurlSession* session, const std::string& url,
           const std::string& ifNoneMatch, const ResumeData* resumeData)
      : session_(session),
        url_(url),
        ifNoneMatch_(ifNoneMatch) {
    if (resumeData) resumeData_ = *resumeData;
  }

  void resume() override;
  void cancel() override;
  const UrlResponse* response() const override {
    return published_ ? &response_ : nullptr;
  }

  const std::string& url() const { return url_; }
  const std::string& ifNoneMatch() const { return ifNoneMatch_; }
  // The caller's file for the body; null: a temporary file of the task's.
  const ResumeData* resumeData() const {
    return resumeData_ ? &*resumeData_ : nullptr;
  }
  // The answer whose body is in the file: the first that reaches the
  // delegate, or a retry's whole new one; a 206 continues it.
  void publish(const UrlResponse& response) {
    response_ = response;
    published_ = true;
  }

 private:
  CurlSession* const session_;
  const std::string url_;
  const std::string ifNoneMatch_;
  std::optional<ResumeData> resumeData_;
  UrlResponse response_;
  bool published_ = false;
};

class CurlSession : public UrlSession {
 public:
  CurlSession(UrlSessionDelegate* delegate, const std::string& tempDir,
              const SessionSettings& settings, const ProxyRouter& router);
  ~CurlSession() override;

  DownloadTask* downloadTaskWithURL(const std::string& url,
                                    const std::string& ifNoneMatch) override;
  DownloadTask* downloadTaskWithResumeData(
      const std::string& url, const std::string& ifNoneMatch,
      const ResumeData& resumeData) override;
  void invalidateAndCancel() override { stop(true); }

  void resume();
  // Cancels the task; silence also withholds the cancellation notice.
  void stop(bool silence);

  // The worker asks before each delegate call; false once cancelled.
  bool mayCall();
  // Lets stop() wake the worker's poll of multi; null once it is gone.
  void attach(CURLM* multi);
  UrlSessionDelegate* delegate() const { return delegate_; }
  const std::string& tempDir() const { return tempDir_; }
  const SessionSettings& settings() const { return settings_; }
  // The way the task's requests go; chosen on the worker before the first.
  const ProxyRoute& route() const { return route_; }

 private:
  DownloadTask* makeTask(const std::string& url,
                         const std::string& ifNoneMatch,
                         const ResumeData* resumeData);
  void run();
  UrlError download();
  std::chrono::milliseconds delayBefore(int retry, const Outcome& failed);
  // Sleeps unless cancelled first; false when cancelled.
  bool pause(std::chrono::milliseconds delay);
  void complete(UrlError error);

  UrlSessionDelegate* const delegate_;
  const std::string tempDir_;
  const SessionSettings settings_;
  const ProxyRouter router_;
  ProxyRoute route_;  // the worker's
  std::mt19937_64 random_;  // the worker's, for the waits before retries
  std::unique_ptr<CurlTask> task_;
  std::thread worker_;

  std::mutex mutex_;  // guards what follows
  std::condition_variable woken_;
  bool started_ = false;
  bool cancelled_ = false;
  bool silenced_ = false;
  CURLM* multi_ = nullptr;
};

#endif
