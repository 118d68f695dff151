#ifndef BOOTSTRAP_DOWNLOAD_WINDOW_DOWNLOAD_H_
#define BOOTSTRAP_DOWNLOAD_WINDOW_DOWNLOAD_H_

#include <stdint.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "cache/partial_download.h"
#include "common/report_fn.h"
#include "common/settings.h"
#include "download_window/agent_signature.h"
#include "download_window/download_view.h"
#include "download_window/proxy_choice.h"
#include "fetch_policy/judged_delegate.h"
#include "net/url_session.h"
#include "signature/background_hasher.h"
#include "ui/main_loop.h"
#include "ui/widgets.h"

// The download window's controller: fetches the agent archive with
// progress, reuses the cached agent when the server's ETag confirms it,
// else puts the new agent into the cache. What each answer means is the
// fetch policy's to say; this class wires it to the URL session, the
// cache and the window. It never starts the agent: it ends the loop with a
// nonzero status once the cache holds a current one, and the bootstrap
// sequence runs it.
class Download : public JudgedDelegate {
 public:
  // report is handed to the unpacking step; sessions are made by
  // makeSession.
  Download(const DownloadWindowOutlets& outlets, MainLoop& loop,
           const Settings& settings, ReportFn report,
           UrlSessionMaker makeSession = makeUrlSession);
  ~Download() override;

  // Sets up the controls and takes the target from downloadTo; the
  // window's close handler is this controller.
  void init();
  // Shows the splash image, if the bundle has one, and starts the transfer
  // from downloadFrom.
  void applicationDidFinishLaunching();
  void windowWillClose();
  void downloadFromURL(const std::string& url);

  bool willStartTransfer(DownloadTask& task) override;
  void willWriteBody(DownloadTask& task, int64_t offset) override;
  void didWriteBody(int64_t offset, const char* data, size_t size) override;
  void didWriteData(DownloadTask& task, int64_t bytesWritten,
                    int64_t totalBytesWritten,
                    int64_t totalBytesExpected) override;
  void didFinishDownloadingToURL(DownloadTask& task,
                                 const std::string& path) override;
  void didCompleteWithError(DownloadTask& task,
                            const UrlError& error) override;
  void willRetry(DownloadTask& task, const UrlError& error, int retry,
                 std::chrono::milliseconds delay) override;

  // Records that the cache holds the agent to run, so that the loop ends
  // with a nonzero status.
  void fireInstallAgent();

  const std::string& installAgentLocation() const {
    return installAgentLocation_;
  }

  // Once the loop has ended: the window closed before the agent was ready,
  // and not on a failure it showed.
  bool cancelled() const { return cancelled_; }
  // Whether the window shows a failure.
  bool failed() const { return view_.failed(); }
  // Once the loop has ended: the user said no, so nothing of the download
  // is kept for a later run. Stops the transfer first.
  void forgetPartialDownload();

 private:
  // Starts the transfer of sourceUrl_, again after a mismatch.
  void startTransfer();
  // A task that writes into the partial download the cache keeps, going on
  // from what an earlier run left there for this URL; null without one.
  DownloadTask* resumableTask();
  // Where the URL sessions keep their temporary files.
  std::string sessionDir() const;
  void startsOver(const std::string& why) override;
  // Whether the whole archive at path is the one signed; false with the
  // failure shown, or with the transfer started again.
  bool verified(const std::string& path);
  // Shows that the agent is not taken, and why in the log; false.
  bool refuseAgent(const std::string& why);
  void restartTransfer();
  // First chunk: true when the transfer goes on.
  bool takeResponse(DownloadTask& task);
  bool refuse(long statusCode, const std::string& text);
  void reuseCachedAgent();
  // The agent is whole: into the cache, and the loop ends.
  void takeAgent(const UrlResponse& response, const std::string& path);
  void endTransfer();

  // The per-user cache, worked out once; the view keeps its failure log
  // there.
  const std::string cacheDir_;
  DownloadView view_;
  MainLoop& loop_;
  const SessionSettings sessionSettings_;
  ReportFn report_;
  const UrlSessionMaker makeSession_;
  RunProxyRoute proxy_;

  // Worker-side state of the transfer.
  bool responseTaken_ = false;
  // The byte the transfer went on from, with bytes an earlier run left.
  int64_t resumedAt_ = 0;

  // Where the agent goes: the cache directory, or the run's working
  // directory when the cache is not the user's alone or cannot be
  // written. Set before the transfer starts.
  bool cacheUsable_ = false;
  std::string agentHome_;
  // The URL asked for: the cache vouches only for an agent from it.
  std::string sourceUrl_;
  // The cached agent's validation string, sent as If-None-Match; empty:
  // none sent.
  std::string validationStringSent_;
  // Where the download goes when the cache is usable and no other run
  // downloads into it: kept there for the next run if it ends unfinished.
  PartialDownload partial_;
  // With the bundle's keys, every downloaded agent is verified.
  AgentSignature signature_;
  // Hashes the archive as it comes, for a prehashed signature.
  std::unique_ptr<BackgroundHasher> hasher_;
  // The archive and its signature did not match once: the transfer
  // started again, and a second mismatch is a failure.
  bool restarted_ = false;

  std::string installAgentLocation_;
  std::atomic<bool> agentReady_{false};
  // Loop-thread state of the window.
  bool cancelled_ = false;
  // The worker may still use urlSession_ while the owner's destruction
  // joins it, so the two are apart.
  std::unique_ptr<UrlSession> sessionOwner_;
  UrlSession* urlSession_ = nullptr;
  DownloadTask* theDownload_ = nullptr;
};

#endif
