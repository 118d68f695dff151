#include "download_window/small_download.h"

#include "platform/log.h"
#include "platform/state_file.h"

SmallDownload::Result SmallDownload::fetch(const std::string& url,
                                           const std::string& tempDir,
                                           const RetryPolicy& retry) {
  std::unique_ptr<UrlSession> session;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    result_ = Result();
    finished_ = cancelled_;
    if (cancelled_) result_.outcome = Outcome::kCancelled;
    if (!finished_) {
      session_ = makeUrlSession(this, tempDir, retry);
      DownloadTask* task = session_->downloadTaskWithURL(url, "");
      task->resume();
    }
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
  if (!finished_) {
    finished_ = true;
    result_.outcome = Outcome::kCancelled;
    done_.notify_all();
  }
}

void SmallDownload::didWriteData(DownloadTask& task, int64_t /*bytesWritten*/,
                                 int64_t totalBytesWritten,
                                 int64_t /*totalBytesExpected*/) {
  if (totalBytesWritten > static_cast<int64_t>(maxSize_)) {
    task.cancel();
    finish(Outcome::kTooLarge);
  }
}

void SmallDownload::didFinishDownloadingToURL(DownloadTask& task,
                                              const std::string& path) {
  const long status = task.response()->statusCode;
  std::string text;
  bool fits = status == 200 && readSmallFile(path, maxSize_ + 1, &text) &&
              text.size() <= maxSize_;
  std::lock_guard<std::mutex> lock(mutex_);
  if (finished_) return;
  if (status != 200) {
    result_.outcome = Outcome::kRefused;
    result_.statusCode = status;
  } else if (!fits) {
    result_.outcome = Outcome::kTooLarge;
  } else {
    result_.outcome = Outcome::kFetched;
    result_.text = std::move(text);
  }
  finished_ = true;
  done_.notify_all();
}

void SmallDownload::didCompleteWithError(DownloadTask& /*task*/,
                                         const UrlError& error) {
  if (error.kind != UrlError::Kind::kTransport) {
    finish(Outcome::kFailed);  // too late: the fetch has its outcome
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (finished_) return;
  result_.why = error.localizedDescription;
  result_.outcome = Outcome::kFailed;
  finished_ = true;
  done_.notify_all();
}

void SmallDownload::willRetry(DownloadTask& /*task*/, const UrlError& error,
                              int retry, std::chrono::milliseconds delay) {
  logLine("Signature download interrupted: %s %s; retry %d in %.1f s",
          error.localizedDescription.c_str(), error.failingUrl.c_str(), retry,
          static_cast<double>(delay.count()) / 1000.0);
}

// The first outcome stands: a cancelled or refused fetch still hears of
// its completion afterwards.
void SmallDownload::finish(Outcome outcome) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (finished_) return;
  result_.outcome = outcome;
  finished_ = true;
  done_.notify_all();
}
