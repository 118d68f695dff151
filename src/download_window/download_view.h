#ifndef BOOTSTRAP_DOWNLOAD_WINDOW_DOWNLOAD_VIEW_H_
#define BOOTSTRAP_DOWNLOAD_WINDOW_DOWNLOAD_VIEW_H_

#include <stdint.h>

#include <chrono>
#include <string>

#include "ui/main_loop.h"
#include "ui/widgets.h"

// What the download window shows, for its controller: every change goes
// to the loop thread. A transfer's progress comes from the URL session's
// worker, for every chunk, and is shown a few dozen times a second at most,
// while the bar's last value still equals the bytes received. On a desktop
// a failure keeps the run's details as the failure log in logDir, names it,
// and offers them for copying.
class DownloadView {
 public:
  DownloadView(const DownloadWindowOutlets& outlets, MainLoop& loop,
               const std::string& logDir);

  // On the loop thread, before the loop runs.
  void init();
  // The bundle's splash picture, if it has one.
  void showSplash(const std::string& resourcePath);

  // From the worker. A body starts: the bar counts up to fileLength (-1:
  // unknown) from resumedAt, the bytes kept by an earlier run.
  void showDownloadStart(int64_t fileLength, int64_t resumedAt);
  // bytes more arrived; shown now, or when due.
  void progress(int64_t bytes, bool now);
  void showUnpacking();
  // The failure in red, from any thread.
  void showFailure(const std::string& message);
  enum class Failure {
    kTransport,      // detail, on a desktop: what went wrong
    kCannotStore,    // detail: why
    kNotVerified,
    kKeyFileBroken,
    kUnzip,
  };
  void showFailure(Failure failure, const std::string& detail = "");

  // On the loop thread.
  void failure(const std::string& message, TextColor color);
  void close() { window_->close(); }
  // Whether a failure has been shown.
  bool failed() const { return failureShown_; }

 private:
  std::string detailText(std::chrono::steady_clock::time_point now) const;

  ProgressIndicator* progress_;
  ImageView* image_;
  TextField* downloadPercent_;
  TextField* detail_;
  Window* window_;
  Button* cancel_;
  DetailsOffer* copyDetails_;
  MainLoop& loop_;
  const std::string logDir_;
  bool failureShown_ = false;  // the loop thread's

  // The worker's: bytes not yet shown, and for the detail line the bytes
  // of this transfer, since when, and what the line shows as of when.
  int64_t fileLength_ = -1;
  int64_t resumedAt_ = 0;
  int64_t pendingBytes_ = 0;
  int64_t receivedBytes_ = 0;
  std::chrono::steady_clock::time_point lastUpdate_;
  std::chrono::steady_clock::time_point transferStart_;
  std::string shownDetail_;
  std::chrono::steady_clock::time_point lastDetailUpdate_;
};

#endif
