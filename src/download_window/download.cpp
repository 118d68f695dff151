#include "download_window/download.h"

#include <string.h>

#include <utility>

#include "cache/leftovers.h"
#include "cache/locations.h"
#include "cache/trust.h"
#include "cache/update.h"
#include "common/installer_constants.h"
#include "download_window/download_entry.h"
#include "fetch_policy/first_answer.h"
#include "platform/bundle_paths.h"
#include "platform/log.h"

Download::Download(const DownloadWindowOutlets& outlets, MainLoop& loop,
                   const Settings& settings, ReportFn report,
                   UrlSessionMaker makeSession)
    : cacheDir_(getInstallAgentCacheDir(settings.home)),
      view_(outlets, loop, cacheDir_),
      loop_(loop),
      sessionSettings_(sessionSettings(settings)),
      report_(report),
      makeSession_(std::move(makeSession)),
      proxy_(settings) {
  outlets.window->setCloseHandler([this] { windowWillClose(); });
  // The desktop's proxies are asked for once the window is on the screen.
  outlets.window->whenShown([this] { proxy_.allowDesktop(); });
}

Download::~Download() {
  // Joins the worker: no callback runs once the controller is gone.
  sessionOwner_.reset();
}

void Download::init() {
  view_.init();
  installAgentLocation_ = downloadTo;
}

void Download::applicationDidFinishLaunching() {
  // Without a bundle there is no splash, but the transfer still starts: a
  // window left waiting would hang an unattended run.
  MainBundle bundle = mainBundle();
  if (bundle.present) view_.showSplash(bundle.resourcePath);
  downloadFromURL(downloadFrom);
}

void Download::windowWillClose() {
  cancelled_ = !agentReady_ && !view_.failed();
  signature_.cancel();
  if (theDownload_) theDownload_->cancel();
  if (urlSession_) urlSession_->invalidateAndCancel();
  loop_.stop(agentReady_ ? 1 : 0);
}

void Download::downloadFromURL(const std::string& url) {
  agentHome_ =
      agentHomeOf(cacheDir_, cutAtLastSeparator(installAgentLocation_));
  cacheUsable_ = agentHome_ == cacheDir_;
  std::string why;
  if (!signature_.loadKeys(getBundleLocation(), &why)) {
    logLine("%s", why.c_str());
    view_.showFailure(DownloadView::Failure::kKeyFileBroken);
    return;
  }
  // What killed runs left in the cache goes before anything is added.
  if (cacheUsable_) {
    removeLeftovers(agentHome_);
    partial_.claim(agentHome_);
  }
  sourceUrl_ = url;
  startTransfer();
}

std::string Download::sessionDir() const {
  std::string scratch = cutAtLastSeparator(installAgentLocation_);
  return scratch.empty() ? "/" : scratch;
}

void Download::startTransfer() {
  sessionOwner_ =
      makeSession_(this, sessionDir(), sessionSettings_, proxy_.router());
  urlSession_ = sessionOwner_.get();
  hasher_.reset(signature_.keys() ? new BackgroundHasher : nullptr);
  // A server that still has the cached agent's archive says so in a few
  // bytes (304) rather than starting to send it all.
  validationStringSent_ =
      cacheUsable_ ? cachedValidationString(agentHome_, sourceUrl_,
                                            signature_.keys())
                   : "";
  theDownload_ = resumableTask();
  if (!theDownload_)
    theDownload_ =
        urlSession_->downloadTaskWithURL(sourceUrl_, validationStringSent_);
  theDownload_->resume();
}

DownloadTask* Download::resumableTask() {
  resumedAt_ = 0;
  if (!partial_.claimed()) return nullptr;
  PartialInfo info;
  ResumeData data;
  data.held = partial_.heldFor(sourceUrl_, &info);
  data.fd = partial_.fd();
  if (data.fd < 0) return nullptr;
  data.path = partial_.path();
  data.validator = info.validator;
  data.wholeLength = info.wholeLength;
  return urlSession_->downloadTaskWithResumeData(
      sourceUrl_, validationStringSent_, data);
}

// The signature comes first: a wrong key or an older agent is refused
// before a byte of the archive is fetched.
bool Download::willStartTransfer(DownloadTask& /*task*/) {
  if (!signature_.keys()) return true;
  std::string why;
  switch (signature_.admit(sourceUrl_, cacheUsable_ ? agentHome_ : "",
                           sessionDir(), sessionSettings_, proxy_.router(),
                           makeSession_, &why)) {
    case AgentSignature::Admission::kAdmitted:
      return true;
    case AgentSignature::Admission::kCancelled:
      return false;
    case AgentSignature::Admission::kRefused:
      break;
  }
  return refuseAgent(why);
}

bool Download::refuseAgent(const std::string& why) {
  logLine("The downloaded agent could not be verified: %s", why.c_str());
  partial_.discard();
  view_.showFailure(DownloadView::Failure::kNotVerified);
  return false;
}

void Download::startsOver(const std::string& why) {
  logLine("%s", why.c_str());
}

// What the bytes in the file will be is known before the first of them is
// written: the cache's info on them follows each new body.
void Download::willWriteBody(DownloadTask& task, int64_t offset) {
  const UrlResponse& response = *task.response();
  resumedAt_ = offset;
  if (offset == 0) {
    partial_.describe({sourceUrl_, ::resumeValidator(response),
                       response.expectedContentLength});
  } else if (hasher_) {
    hasher_->continueFrom(partial_.fd(), offset);
  }
}

void Download::didWriteBody(int64_t offset, const char* data, size_t size) {
  if (hasher_) hasher_->write(offset, data, size);
}

void Download::didWriteData(DownloadTask& task, int64_t bytesWritten,
                            int64_t /*totalBytesWritten*/,
                            int64_t /*totalBytesExpected*/) {
  if (responseTaken_) {
    view_.progress(bytesWritten, false);
    return;
  }
  responseTaken_ = true;
  if (!takeResponse(task)) return;
  view_.showDownloadStart(task.response()->expectedContentLength, resumedAt_);
  view_.progress(bytesWritten, true);
}

bool Download::takeResponse(DownloadTask& task) {
  const UrlResponse& response = *task.response();
  AnswerJudgement judged = judgeFirstAnswer(
      response, resumedAt_ > 0, validationStringSent_, cacheUsable_);
  if (judged.action == AnswerAction::kReuseCached &&
      claimCachedAgent(agentHome_, judged.validationString, sourceUrl_,
                       signature_.keys())) {
    reuseCachedAgent();
    return false;
  }
  // A 304 for an agent another run replaced meanwhile vouches for nothing.
  if (!judged.failureText.empty())
    return refuse(response.statusCode, judged.failureText);
  return true;
}

// Shows the server's refusal and ends the transfer; false.
bool Download::refuse(long statusCode, const std::string& text) {
  logLine("Download failed with http error code- %ld", statusCode);
  partial_.discard();
  view_.showFailure(text);
  endTransfer();
  return false;
}

void Download::reuseCachedAgent() {
  partial_.discard();
  fireInstallAgent();
  endTransfer();
  loop_.dispatchSync([this] { view_.close(); });
}

void Download::didFinishDownloadingToURL(DownloadTask& task,
                                         const std::string& path) {
  if (!responseTaken_) {  // an empty body comes without any chunk
    responseTaken_ = true;
    if (!takeResponse(task)) return;
  }
  view_.progress(0, true);
  if (signature_.keys() && !verified(path)) return;
  takeAgent(*task.response(), path);
}

void Download::takeAgent(const UrlResponse& response,
                         const std::string& path) {
  view_.showUnpacking();
  // A retry may have brought a whole new archive: the final answer's ETag
  // is the one that vouches for the saved bytes.
  std::string why;
  std::string validationString = cacheUsable_ ? stampFor(response, &why) : "";
  if (!why.empty()) logLine("%s", why.c_str());
  std::string scratch = cutAtLastSeparator(installAgentLocation_) + "/";
  const std::string cacheDir = cacheUsable_ ? agentHome_ : "";
  AgentSigning signing = signature_.signing();
  agentHome_ = installDownloadedAgent(path, agentHome_, validationString,
                                     sourceUrl_, scratch, report_,
                                     signature_.keys() ? &signing : nullptr);
  // Whole, it is no partial download any more, whatever came of it.
  partial_.discard();
  if (agentHome_.empty()) {
    view_.showFailure(DownloadView::Failure::kUnzip);
    return;
  }
  if (signature_.keys()) signature_.raiseFloor(cacheDir, sourceUrl_);
  fireInstallAgent();
  // The loop ends here; the window goes with it.
  loop_.stop(agentReady_ ? 1 : 0);
}

bool Download::verified(const std::string& path) {
  std::string why;
  Verification verdict = signature_.verify(path, *hasher_, &why);
  if (verdict == Verification::kVerified) return true;
  if (verdict == Verification::kMismatch && !restarted_) {
    logLine("The downloaded agent does not match its signature (%s): "
            "fetching both again", why.c_str());
    restartTransfer();
    return false;
  }
  return refuseAgent(why);
}

// From the worker: the session in use cannot be replaced in its own
// delegate call, so the loop starts the new one once this call is over.
void Download::restartTransfer() {
  restarted_ = true;
  loop_.dispatchSync([this] {
    loop_.runAfter(0, [this] {
      sessionOwner_.reset();
      partial_.discard();
      responseTaken_ = false;
      startTransfer();
    });
  });
}

void Download::didCompleteWithError(DownloadTask& /*task*/,
                                    const UrlError& error) {
  if (error.kind != UrlError::Kind::kTransport) return;
  logLine("Download failed! Error - %s %s", error.localizedDescription.c_str(),
          error.failingUrl.c_str());
  if (error.storageErrno != 0) {
    // Kept, the bytes would fill the disk that is already full.
    partial_.discard();
    view_.showFailure(DownloadView::Failure::kCannotStore,
                      strerror(error.storageErrno));
    return;
  }
  partial_.keep();
  if (error.proxyRefused)
    view_.showFailure(refusedText(407));
  else
    view_.showFailure(DownloadView::Failure::kTransport,
                      error.localizedDescription);
}

// The window keeps showing the download: only the last failure is shown.
void Download::willRetry(DownloadTask& /*task*/, const UrlError& error,
                         int retry, std::chrono::milliseconds delay) {
  logLine("Download interrupted: %s %s; retry %d in %.1f s",
          error.localizedDescription.c_str(), error.failingUrl.c_str(), retry,
          static_cast<double>(delay.count()) / 1000.0);
}

void Download::forgetPartialDownload() {
  sessionOwner_.reset();
  urlSession_ = nullptr;
  theDownload_ = nullptr;
  partial_.discard();
}

void Download::fireInstallAgent() {
  std::string dir = agentHome_ + kInstallAgentDirName + "/";
  if (!isAgentDirectory(dir)) return;
  installAgentLocation_ = dir;
  agentReady_ = true;
}

void Download::endTransfer() {
  theDownload_->cancel();
  urlSession_->invalidateAndCancel();
}
