#include "net/url_session.h"

#include <unistd.h>

#include "net/curl_session.h"
#include "net/curl_transfer.h"
#include "net/system_random.h"

namespace {

// Differs from one process to the next, so that installers that failed
// together draw different waits.
uint64_t randomSeed() {
  uint64_t seed = 0;
  if (systemRandom(&seed)) return seed;
  return static_cast<uint64_t>(
             std::chrono::steady_clock::now().time_since_epoch().count()) ^
         static_cast<uint64_t>(getpid());
}

}  // namespace

void CurlTask::resume() { session_->resume(); }

void CurlTask::cancel() { session_->stop(false); }

CurlSession::CurlSession(UrlSessionDelegate* delegate,
                         const std::string& tempDir,
                         const SessionSettings& settings,
                         const ProxyRouter& router)
    : delegate_(delegate),
      tempDir_(tempDir),
      settings_(settings),
      router_(router),
      random_(randomSeed()) {}

CurlSession::~CurlSession() {
  stop(true);
  if (worker_.joinable()) worker_.join();
}

DownloadTask* CurlSession::downloadTaskWithURL(const std::string& url,
                                               const std::string& ifNoneMatch) {
  return makeTask(url, ifNoneMatch, nullptr);
}

DownloadTask* CurlSession::downloadTaskWithResumeData(
    const std::string& url, const std::string& ifNoneMatch,
    const ResumeData& resumeData) {
  return makeTask(url, ifNoneMatch, &resumeData);
}

DownloadTask* CurlSession::makeTask(const std::string& url,
                                    const std::string& ifNoneMatch,
                                    const ResumeData* resumeData) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (task_ || silenced_) return nullptr;
  task_.reset(new CurlTask(this, url, ifNoneMatch, resumeData));
  return task_.get();
}

void CurlSession::resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_) return;
  started_ = true;
  worker_ = std::thread(&CurlSession::run, this);
}

void CurlSession::stop(bool silence) {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  silenced_ = silenced_ || silence;
  if (multi_) curl_multi_wakeup(multi_);
  woken_.notify_all();
}

bool CurlSession::mayCall() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !cancelled_;
}

void CurlSession::attach(CURLM* multi) {
  std::lock_guard<std::mutex> lock(mutex_);
  multi_ = multi;
}

void CurlSession::run() {
  if (router_) route_ = router_(task_->url(), [this] { return !mayCall(); });
  if (mayCall() && !delegate_->willStartTransfer(*task_)) stop(false);
  complete(mayCall() ? download() : UrlError());
}

UrlError CurlSession::download() {
  Transfer transfer(this, task_.get());
  for (int retry = 1;; ++retry) {
    const bool last = retry > settings_.retry.retries;
    Outcome outcome = transfer.perform(last);
    if (outcome.error.kind == UrlError::Kind::kNone) {
      transfer.finish();
      return outcome.error;
    }
    if (outcome.restart && mayCall()) {
      --retry;
      continue;
    }
    if (last || !outcome.transient || !mayCall()) return outcome.error;
    auto delay = delayBefore(retry, outcome);
    delegate_->willRetry(*task_, outcome.error, retry, delay);
    if (!pause(delay)) return outcome.error;
  }
}

std::chrono::milliseconds CurlSession::delayBefore(int retry,
                                                   const Outcome& failed) {
  std::uniform_real_distribution<double> share(0.0, 1.0);
  return retryDelay(settings_.retry, retry, failed.retryAfterSeconds,
                    share(random_));
}

bool CurlSession::pause(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(mutex_);
  woken_.wait_for(lock, delay, [this] { return cancelled_; });
  return !cancelled_;
}

void CurlSession::complete(UrlError error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (silenced_) return;
    // A cancel that came in time wins over whatever the transfer did.
    if (cancelled_) {
      error.kind = UrlError::Kind::kCancelled;
      error.localizedDescription = "cancelled";
      error.failingUrl = task_->url();
    }
  }
  delegate_->didCompleteWithError(*task_, error);
}

std::unique_ptr<UrlSession> makeUrlSession(UrlSessionDelegate* delegate,
                                           const std::string& tempDir,
                                           const SessionSettings& settings,
                                           const ProxyRouter& router) {
  curlReady();
  return std::unique_ptr<UrlSession>(
      new CurlSession(delegate, tempDir, settings, router));
}
