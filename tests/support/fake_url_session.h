#ifndef BOOTSTRAP_TESTS_SUPPORT_FAKE_URL_SESSION_H_
#define BOOTSTRAP_TESTS_SUPPORT_FAKE_URL_SESSION_H_

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "net/url_session.h"

// A scripted answer: its response and body, and how the transfer then
// ends: error kNone hands over the file, kTransport fails after the body.
struct FakeAnswer {
  UrlResponse response;
  std::string body;
  UrlError error;
};

// URL sessions without sockets or threads: a task's resume() plays its
// URL's next scripted answer to the delegate, call after call in a
// worker's order, before it returns. A URL with no answer left fails.
class FakeUrlSessions {
 public:
  void answer(const std::string& url, FakeAnswer answer) {
    answers_[url].push_back(answer);
  }
  // 200 with body, its length announced, and ETag etag when not empty.
  static FakeAnswer ok(const std::string& body, const std::string& etag = "");
  static FakeAnswer status(long code);
  // answer, failing after its body, for want of disk with storageErrno.
  static FakeAnswer cut(FakeAnswer answer, int storageErrno = 0) {
    answer.error.kind = UrlError::Kind::kTransport;
    answer.error.storageErrno = storageErrno;
    return answer;
  }

  UrlSessionMaker maker();
  // Each request's URL, then " If-None-Match: tag" when it sent one.
  const std::vector<std::string>& requests() const { return requests_; }

 private:
  class Session;
  std::map<std::string, std::deque<FakeAnswer>> answers_;
  std::vector<std::string> requests_;
};

#endif
