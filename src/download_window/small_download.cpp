#include "download_window/small_download.h"

#include "platform/log.h"
#include "platform/state_file.h"

namespace {

SmallDownload::Result ended(SmallDownload::Outcome outcome) {
  SmallDownload::Result result;
  result.outcome = outcome;
  return result;
}

}  // namespace

SmallDownload::Result SmallDownload::fetch(const std::string& url,
                                           const std::string& tempDir,
                                           const SessionSettings& settings,
                                           const ProxyRouter& router,
                                           const UrlSessionMaker& makeSession) {
  DownloadTask* task = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_ = Result();
    finished_ = false;
    if (cancelled_) {
      finishLocked(ended(Outcome::kCancelled));
    } else {
      session_ = makeSession(this, tempDir, settings, router);
      task = session_->downloadTaskWithURL(url, "");
    }
  }
  // Unlocked: a session may call back before resume() returns.
  if (task) task->resume();
  std::unique_ptr<UrlSession> session;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return finished_; });
    session = std::move(session_);
  }
  session.reset();  // joins its worker: no call of ours is in progress
  return result_;
}

void SmallDownload::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  if (session_) session_->invalidateAndCancel();
  finishLocked(ended(Outcome::kCancelled));
}

void SmallDownload::startsOver(const std::string& why) {
  logLine("Signature: %s", why.c_str());
}

void SmallDownload::didWriteData(DownloadTask& task, int64_t /*bytesWritten*/,
                                 int64_t totalBytesWritten,
                                 int64_t /*totalBytesExpected*/) {
  if (totalBytesWritten > static_cast<int64_t>(maxSize_)) {
    task.cancel();
    finish(ended(Outcome::kTooLarge));
  }
}

void SmallDownload::didFinishDownloadingToURL(DownloadTask& task,
                                              const std::string& path) {
  Result result;
  result.statusCode = task.response()->statusCode;
  if (result.statusCode != 200)
    result.outcome = Outcome::kRefused;
  else if (readSmallFile(path, maxSize_ + 1, &result.text) &&
           result.text.size() <= maxSize_)
    result.outcome = Outcome::kFetched;
  else
    result = ended(Outcome::kTooLarge);
  finish(std::move(result));
}

// After an outcome (a cancel, a refusal) the completion changes nothing.
void SmallDownload::didCompleteWithError(DownloadTask& /*task*/,
                                         const UrlError& error) {
  Result result = ended(Outcome::kFailed);
  if (error.kind == UrlError::Kind::kTransport)
    result.why = error.localizedDescription;
  finish(std::move(result));
}

void SmallDownload::willRetry(DownloadTask& /*task*/, const UrlError& error,
                              int retry, std::chrono::milliseconds delay) {
  logLine("Signature download interrupted: %s %s; retry %d in %.1f s",
          error.localizedDescription.c_str(), error.failingUrl.c_str(), retry,
          static_cast<double>(delay.count()) / 1000.0);
}

void SmallDownload::finish(Result result) {
  std::lock_guard<std::mutex> lock(mutex_);
  finishLocked(std::move(result));
}

// The first outcome stands: a cancelled or refused fetch still hears of
// its completion afterwards.
void SmallDownload::finishLocked(Result result) {
  if (finished_) return;
  result_ = std::move(result);
  finished_ = true;
  done_.notify_all();
}
