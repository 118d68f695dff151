#ifndef BOOTSTRAP_NET_URL_SESSION_H_
#define BOOTSTRAP_NET_URL_SESSION_H_

#include <stdint.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/proxy_route.h"
#include "net/session_settings.h"

// One HTTP(S) download at a time on libcurl. The body is streamed into a
// temporary file; the delegate hears of it, one call at a time and in
// order, on the session's own worker thread (its serial queue).
//
// Cancellation. A delegate call begins only if the task is not cancelled
// at that moment; cancel() and invalidateAndCancel() are ordered against
// that check by one lock, never wait for the worker, and wake it at once
// even while the server sends nothing. A call "in progress" below is one
// that had passed the check; it runs to its end.
// - After cancel() returns: no didWriteData or didFinishDownloadingToURL
//   begins; then didCompleteWithError(kCancelled) comes exactly once, even
//   if the transfer had succeeded or failed meanwhile, unless
//   didCompleteWithError had already begun (then nothing more comes).
//   A task cancelled before resume() reports kCancelled once resumed,
//   without a request.
// - After invalidateAndCancel() returns: no delegate call begins at all,
//   not even kCancelled; it does not wait for a call in progress.
// - Destroying the session does what invalidateAndCancel() does and then
//   waits for the worker, so no call is in progress once it is gone. Do
//   not destroy it inside a delegate call: it would wait for itself.

// The final response of a transfer (after redirects).
struct UrlResponse {
  long statusCode = 0;
  int64_t expectedContentLength = -1;  // -1 when no length was announced
  std::vector<std::pair<std::string, std::string>> headerFields;

  // The value of a header field, its name compared case-insensitively;
  // false when the response has no such field. value may be null.
  bool headerField(const std::string& name, std::string* value) const;
};

struct UrlError {
  enum class Kind {
    kNone,       // the transfer completed
    kCancelled,  // cancel() or invalidateAndCancel() ended it
    kTransport,  // it could not complete: connection, protocol, URL, I/O
  };
  Kind kind = Kind::kNone;
  std::string localizedDescription;  // one line, for the log
  std::string failingUrl;
  // With kTransport: the errno with which the temporary file could not be
  // made or written (a full disk, say), else 0.
  int storageErrno = 0;
  // With kTransport: the proxy asked for credentials it was not given, or
  // refused those it was (407), to open a tunnel or to a request for the
  // rest of a kept download.
  bool proxyRefused = false;
};

// A file of the caller's for a task's body, in place of a temporary file of
// its own, perhaps holding the start of the body from an earlier transfer:
// the session writes into it through a descriptor of its own, never
// removes it and keeps its first `held` bytes unless the server sends the
// whole body again. What lies past them is cut off.
struct ResumeData {
  int fd = -1;      // open for writing
  std::string path;  // its name, as didFinishDownloadingToURL gives it
  int64_t held = 0;
  // What the server vouched for the held bytes with (If-Range), and the
  // length of the whole body as it announced it; both needed to resume.
  std::string validator;
  int64_t wholeLength = -1;
};

// A request for the rest of a body whose first `held` bytes are in the
// file: the validator it sent as If-Range (empty: it sent no Range), the
// whole body's length as announced with the bytes held (-1 unknown), and
// whether they came from an earlier transfer rather than a cut in this one.
struct RangeRequest {
  int64_t held = 0;
  std::string validator;
  int64_t wholeLength = -1;
  bool earlier = false;
};

// What the answer to such a request means for the bytes held.
enum class RangeVerdict {
  kContinue,   // the rest, from where the file stopped
  kStartOver,  // a whole body, taken from byte 0 (for an earlier
               // transfer's bytes: any answer to take as a first one)
  kRestart,    // of no use: the bytes held go, and the whole is asked for
               // again at once, not counted as a retry
  kRefuse,     // no retry helps; an earlier transfer's bytes are kept
};

struct RangeJudgement {
  RangeVerdict verdict = RangeVerdict::kRefuse;
  std::string why;  // a log line when the download does not simply go on
};

class DownloadTask;

class UrlSessionDelegate {
 public:
  virtual ~UrlSessionDelegate() = default;
  // The bytes of a chunk as they were written at offset in the temporary
  // file, before didWriteData tells of them; a body that starts over (a
  // retry answered with a whole new archive) comes again from offset 0.
  // For a digest made on the way; most delegates need not hear it.
  virtual void didWriteBody(int64_t /*offset*/, const char* /*data*/,
                            size_t /*size*/) {}
  // The task's response is now an answer whose body goes into the file
  // from offset: 0 for a whole body (a first answer, or a retry's whole
  // new one), else the end of the bytes held from an earlier transfer,
  // which it continues. Before any of its bytes are written, so that what
  // describes the file can be brought up to date first.
  virtual void willWriteBody(DownloadTask& /*task*/, int64_t /*offset*/) {}
  // Before the task's first request, once its route is chosen: false ends
  // the task as cancelled without a request (the delegate refused it and
  // said why itself). It may take a while; cancel() ends no call of it.
  virtual bool willStartTransfer(DownloadTask& /*task*/) { return true; }
  // What If-Range may carry for answer's body, so that a later request for
  // its rest gets the same bytes; empty: a retry starts over.
  virtual std::string resumeValidator(const UrlResponse& answer) = 0;
  // What the answer to a request for the rest means; asked on the worker
  // before any of its body is written.
  virtual RangeVerdict judgeRangeAnswer(const UrlResponse& answer,
                                        const RangeRequest& asked) = 0;
  // A chunk of the body was written to the temporary file. The task's
  // response is set from the first call on.
  virtual void didWriteData(DownloadTask& task, int64_t bytesWritten,
                            int64_t totalBytesWritten,
                            int64_t totalBytesExpected) = 0;
  // The whole body is in the file at path (also when it is empty, whatever
  // the status); the file is removed once this returns.
  virtual void didFinishDownloadingToURL(DownloadTask& task,
                                         const std::string& path) = 0;
  // The last call for a task, after didFinishDownloadingToURL on success.
  virtual void didCompleteWithError(DownloadTask& task,
                                    const UrlError& error) = 0;
  // The transfer failed transiently (error says how) and is tried again
  // after delay; retry counts from 1. Chunks go on where they left off:
  // the bytes already reported are not reported again.
  virtual void willRetry(DownloadTask& task, const UrlError& error, int retry,
                         std::chrono::milliseconds delay) = 0;
};

class DownloadTask {
 public:
  virtual ~DownloadTask() = default;
  // Starts the transfer on the session's worker.
  virtual void resume() = 0;
  // Ends the transfer soon; callable from any thread, also after it ended.
  virtual void cancel() = 0;
  // The response once its header has arrived, else null: the answer the
  // body in the file belongs to. A retry answered with a whole body (a new
  // 200) replaces it; one that resumes the body (206) does not. Read it on
  // the session's worker (inside the delegate's calls).
  virtual const UrlResponse* response() const = 0;
};

class UrlSession {
 public:
  virtual ~UrlSession() = default;
  // A task for url; its temporary file goes into the session's directory.
  // With ifNoneMatch (an entity tag), the request is conditional: a server
  // that still has that archive answers 304 without a body. One task per
  // session: null for a second call, or after invalidateAndCancel(). The
  // session owns the task.
  virtual DownloadTask* downloadTaskWithURL(const std::string& url,
                                            const std::string& ifNoneMatch) = 0;
  // The same, with the body written into resumeData's file. With bytes
  // held there, the first request asks for the rest (Range, with the
  // validator as If-Range, beside any If-None-Match), and the delegate's
  // judgeRangeAnswer says what the answer means; a refused one ends the
  // transfer with kTransport and leaves the bytes.
  virtual DownloadTask* downloadTaskWithResumeData(
      const std::string& url, const std::string& ifNoneMatch,
      const ResumeData& resumeData) = 0;
  // Cancels the task; the delegate hears nothing after the call in
  // progress, if any, has returned. Callable from any thread, also inside
  // a delegate call; it does not wait for the call in progress.
  virtual void invalidateAndCancel() = 0;
};

// A libcurl session whose temporary files go into tempDir. The delegate
// must outlive the session; destroying the session cancels and waits for
// its worker.
// Every request asks caches on the way to check with the server
// (Cache-Control and Pragma: no-cache) and names the installer and its
// version in User-Agent.
// A download whose URL is https follows redirects to https only; one that
// leads to plain http fails with kTransport.
// HTTPS certificates are always verified: against the settings' trust
// store where it names files, otherwise libcurl's defaults.
// Proxies: router, when given, chooses the task's route on the worker
// before the first request; without one libcurl reads the proxy variables.
std::unique_ptr<UrlSession> makeUrlSession(
    UrlSessionDelegate* delegate, const std::string& tempDir,
    const SessionSettings& settings, const ProxyRouter& router = nullptr);

// How a session is made: makeUrlSession, or a stand-in in tests.
using UrlSessionMaker = std::function<std::unique_ptr<UrlSession>(
    UrlSessionDelegate* delegate, const std::string& tempDir,
    const SessionSettings& settings, const ProxyRouter& router)>;

#endif
