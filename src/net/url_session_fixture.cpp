#include "net/url_session_fixture.h"

#include <algorithm>

RetryPolicy noRetries() {
  RetryPolicy policy;
  policy.retries = 0;
  return policy;
}

RetryPolicy quickRetries() {
  RetryPolicy policy;
  policy.firstDelay = std::chrono::milliseconds(10);
  policy.longestWait = std::chrono::milliseconds(30);
  return policy;
}

SessionSettings withRetries(const RetryPolicy& retry) {
  SessionSettings settings;
  settings.retry = retry;
  return settings;
}

void UrlSessionTest::download(const std::string& url, SessionRecorder* recorder,
                              const std::string& dir,
                              const std::string& ifNoneMatch) {
  auto session =
      makeUrlSession(recorder, dir.empty() ? scratch_.path() : dir, settings_);
  session->downloadTaskWithURL(url, ifNoneMatch)->resume();
  EXPECT_TRUE(recorder->waitForCompletion());
}

void UrlSessionTest::stopPromptly(bool invalidate, DownloadTask* task,
                                  std::unique_ptr<UrlSession> session,
                                  SessionRecorder* recorder) {
  auto start = Clock::now();
  if (invalidate) {
    session->invalidateAndCancel();
  } else {
    task->cancel();
    EXPECT_TRUE(recorder->waitForCompletion());
  }
  session.reset();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

std::string pathOf(std::string name) {
  std::replace(name.begin(), name.end(), ' ', '-');
  return "/" + name;
}

TestReply withHeaders(TestReply reply,
                      std::vector<std::pair<std::string, std::string>> headers) {
  reply.headers = std::move(headers);
  return reply;
}
