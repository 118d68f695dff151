#ifndef BOOTSTRAP_NET_CURL_TRANSFER_H_
#define BOOTSTRAP_NET_CURL_TRANSFER_H_

#include <stddef.h>
#include <stdint.h>

#include <chrono>
#include <optional>
#include <string>

#include <curl/curl.h>

#include "net/curl_session.h"
#include "net/url_session.h"

// Initialises libcurl once per process, before any handle; false when it
// could not be.
bool curlReady();

// What one request of a download came to.
struct Outcome {
  UrlError error;  // kNone: the whole body is in the file
  bool transient = false;
  int64_t retryAfterSeconds = -1;  // what the server asked for, if it did
  // The bytes held were of no use and are gone: the next request asks for
  // the whole at once.
  bool restart = false;
};

// A download on the worker, over one request or several: the easy handle,
// the temporary file and the bookkeeping of libcurl's callbacks. Its
// destructor leaves nothing behind.
class Transfer {
 public:
  using Clock = std::chrono::steady_clock;

  Transfer(CurlSession* session, CurlTask* task);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // One request, for the rest of the body when part of it is in. With
  // last, a transient status is taken as the answer all the same.
  Outcome perform(bool last);
  // Hands the complete body to the delegate.
  void finish();

 private:
  bool prepare();
  bool openFile();
  bool takeCallersFile(const ResumeData& data);
  bool closeFile();
  bool configure();
  bool setRequestHeaders();
  CURLcode drive();
  int pollMilliseconds() const;
  bool stalled();
  CURLcode resultOf(CURLM* multi);
  bool takeAnswer();
  void takeWhole();
  bool takeLaterAnswer();
  void continueEarlierBody();
  bool restart();
  bool startOver();
  bool emptyFile();
  bool refuse(const std::string& why, bool transient);
  bool cannotStore(const std::string& what);
  bool receive(const char* data, size_t length);
  void headerLine(const char* data, size_t length);
  // The answer so far is whole: silence counts from now.
  void heardFromServer() {
    now_.lastHeard = Clock::now();
    now_.answerPending = false;
  }
  Outcome outcome(CURLcode result);
  // Whether a failed request's proxy asked for credentials (407).
  bool proxyRefusedTunnel();
  // libcurl's failure, in words for the log.
  std::string describe(CURLcode result) const;
  UrlError failure(const std::string& description) const;

  static size_t onBody(char* data, size_t size, size_t count, void* context);
  static size_t onHeader(char* data, size_t size, size_t count, void* context);
  static int onConnected(void* context, char*, char*, int, int);

  CurlSession* const session_;
  CurlTask* const task_;
  CURL* easy_ = nullptr;
  curl_slist* requestHeaders_ = nullptr;
  int fd_ = -1;
  std::string path_;
  bool callersFile_ = false;  // not ours to remove
  int64_t total_ = 0;     // bytes in the file
  int64_t reported_ = 0;  // bytes the delegate has heard of
  // If-Range for the rest of the body; empty: a retry starts over.
  std::string validator_;
  // The whole body's length as the answer it came with announced it.
  int64_t wholeLength_ = -1;

  // The request in progress, each starting afresh.
  struct Request {
    bool last = false;
    UrlResponse answer;  // its header fields, status and length
    bool answerTaken = false;
    bool transient = false;
    int64_t retryAfterSeconds = -1;
    // Silence is timed from the connection on (libcurl's connect timeout
    // covers the time before); unset until then. Header lines do not
    // restart it, only the end of the header and the body do: a server
    // that dribbles header lines must still answer within the limit.
    std::optional<Clock::time_point> lastHeard;
    bool answerPending = false;  // a header has begun and not ended
    std::string ownError;  // a failure of ours rather than libcurl's
    int storageErrno = 0;
    bool proxyRefused = false;
    bool restart = false;
  };
  Request now_;
  char errorBuffer_[CURL_ERROR_SIZE];
};

#endif
