#include "download_window/download_view.h"

#include <sys/stat.h>

#include "cache/failure_log.h"
#include "platform/program_name.h"
#include "platform/run_record.h"
#include "platform/shell_words.h"
#include "ui/transfer_figures.h"

namespace {

const char kDownloading[] = "Downloading";
const std::string kTransportFailure = "Error during the download process.\n";

// Where the log can be read: the journal knows it by the executable's
// name, which the vendor may have changed.
std::string transportFailureText() {
#ifdef __APPLE__
  return kTransportFailure + "See the log in Console app for more information.";
#else
  return kTransportFailure +
         "See the log on standard error or in the system journal "
         "(journalctl -t " +
         smart_quote(programName()) + ").";
#endif
}

// A desktop user reads no standard error: the window itself says what
// went wrong, and where the details are.
std::string failureText(DownloadView::Failure failure,
                        const std::string& detail, bool desktop) {
  switch (failure) {
    case DownloadView::Failure::kTransport:
      if (desktop) return kTransportFailure + detail;
      break;
    case DownloadView::Failure::kCannotStore:
      return "Cannot save the download: " + detail;
    case DownloadView::Failure::kNotVerified:
      return "The downloaded installer could not be verified.";
    case DownloadView::Failure::kKeyFileBroken:
      return "The installer's signing key could not be read.";
    case DownloadView::Failure::kUnzip:
      return "Failed to unzip the installer.";
  }
  return transportFailureText();
}
// Widget updates during a transfer, at most this often.
const std::chrono::milliseconds kUpdateInterval(40);
// The figures under the status, more seldom: they must stay readable.
const std::chrono::milliseconds kDetailInterval(250);

}  // namespace

DownloadView::DownloadView(const DownloadWindowOutlets& outlets,
                           MainLoop& loop, const std::string& logDir)
    : progress_(outlets.progress),
      image_(outlets.image),
      downloadPercent_(outlets.downloadPercent),
      detail_(outlets.detail),
      window_(outlets.window),
      cancel_(outlets.cancel),
      copyDetails_(outlets.copyDetails),
      loop_(loop),
      logDir_(logDir) {}

void DownloadView::init() {
  progress_->setDoubleValue(0.0);
  progress_->setMaxValue(100.0);
  downloadPercent_->setStringValue(kDownloading);
  cancel_->setKeyEquivalent("\r");
}

void DownloadView::showSplash(const std::string& resourcePath) {
  std::string splash = resourcePath + "/splash.png";
  struct stat st;
  if (stat(splash.c_str(), &st) == 0 &&
      image_->showImageFile(splash, 400, 400))
    window_->refresh();
}

void DownloadView::showDownloadStart(int64_t fileLength, int64_t resumedAt) {
  fileLength_ = fileLength;
  resumedAt_ = resumedAt;
  pendingBytes_ = receivedBytes_ = 0;
  shownDetail_.clear();
  transferStart_ = std::chrono::steady_clock::now();
  loop_.dispatchSync([this] {
    if (fileLength_ == -1) {
      progress_->setIndeterminate(true);
    } else {
      progress_->setMaxValue(static_cast<double>(fileLength_));
      progress_->setIndeterminate(false);
    }
    // A resumed download starts where the kept bytes end.
    progress_->setDoubleValue(static_cast<double>(resumedAt_));
  });
}

void DownloadView::progress(int64_t bytes, bool now) {
  pendingBytes_ += bytes;
  receivedBytes_ += bytes;
  auto clock = std::chrono::steady_clock::now();
  bool barDue = pendingBytes_ != 0 &&
                (now || clock - lastUpdate_ >= kUpdateInterval);
  // Formatted only when due: this runs for every chunk.
  std::string detail;
  bool detailChanged = false;
  if (now || clock - lastDetailUpdate_ >= kDetailInterval) {
    detail = detailText(clock);
    detailChanged = detail != shownDetail_;
  }
  if (!barDue && !detailChanged) return;
  double shown = 0;
  if (barDue) {
    lastUpdate_ = clock;
    shown = static_cast<double>(pendingBytes_);
    pendingBytes_ = 0;
  }
  if (detailChanged) {
    lastDetailUpdate_ = clock;
    shownDetail_ = detail;
  }
  loop_.dispatchSync([this, shown, &detail, detailChanged] {
    if (shown > 0) {
      downloadPercent_->setStringValue(kDownloading);
      progress_->incrementBy(shown);
    }
    if (detailChanged) detail_->setStringValue(detail);
    window_->refresh();
  });
}

std::string DownloadView::detailText(
    std::chrono::steady_clock::time_point now) const {
  TransferFigures figures;
  figures.received = static_cast<double>(resumedAt_ + receivedBytes_);
  if (fileLength_ > 0) figures.total = static_cast<double>(fileLength_);
  // Of this run's bytes only: those kept came at another time.
  figures.bytesPerSecond = averageRate(
      static_cast<double>(receivedBytes_),
      std::chrono::duration<double>(now - transferStart_).count());
  return transferFigures(figures);
}

void DownloadView::showUnpacking() {
  loop_.dispatchSync([this] {
    downloadPercent_->setStringValue("Initializing the installer");
    detail_->setStringValue("");
    progress_->setIndeterminate(true);
    progress_->startAnimation();
    cancel_->setEnabled(false);
    window_->refresh();
  });
}

void DownloadView::showFailure(const std::string& message) {
  if (!copyDetails_) {
    loop_.dispatchSync([this, &message] { failure(message, TextColor::kRed); });
    return;
  }
  // Kept before the window names it.
  const std::string details = recordedText();
  std::string why;
  const std::string where =
      whereTheDetailsAre(keepFailureLog(logDir_, details, &why), why);
  loop_.dispatchSync([this, &message, &details, &where] {
    failure(message, TextColor::kRed);
    detail_->setStringValue(where);
    copyDetails_->offer(details);
  });
}

void DownloadView::showFailure(Failure failure, const std::string& detail) {
  showFailure(failureText(failure, detail, copyDetails_ != nullptr));
}

void DownloadView::failure(const std::string& message, TextColor color) {
  failureShown_ = true;
  cancel_->setTitle("Close");
  progress_->stopAnimation();
  progress_->setIndeterminate(false);
  progress_->setDoubleValue(progress_->maxValue());
  downloadPercent_->setStringValue(message);
  downloadPercent_->setTextColor(color);
  detail_->setStringValue("");
  window_->refresh();
}
