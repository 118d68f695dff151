#ifndef BOOTSTRAP_TESTS_SUPPORT_FAKE_URL_SESSION_H_
#define BOOTSTRAP_TESTS_SUPPORT_FAKE_URL_SESSION_H_

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "net/url_session.h"

// A scripted answer: its response, the body (written from offset, in
// chunks), and how the transfer then ends: error kNone hands over the
// file, kTransport fails after the body (a cut, say).
struct FakeAnswer {
  UrlResponse response;
  std::string body;
  int64_t offset = 0;  // > 0: the rest of bytes held, resumed
  size_t chunkSize = 1000;
  UrlError error;
};

// URL sessions without sockets or threads: a task's resume() plays its
// URL's next scripted answer to the delegate, one call after another and
// before it returns, as a session's worker would. A URL with no answer
// left gets a transport failure.
class FakeUrlSessions {
 public:
  void answer(const std::string& url, FakeAnswer answer);
  // 200 with body, ETag etag when not empty, its length announced.
  static FakeAnswer ok(const std::string& body, const std::string& etag = "");
  static FakeAnswer status(long code);

  UrlSessionMaker maker();
  // Each request: its URL, then " If-None-Match: tag" when it sent one.
  const std::vector<std::string>& requests() const { return requests_; }

 private:
  class Session;
  class Task;
  std::map<std::string, std::deque<FakeAnswer>> answers_;
  std::vector<std::string> requests_;
};

#endif
