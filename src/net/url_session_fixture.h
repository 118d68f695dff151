#ifndef BOOTSTRAP_NET_URL_SESSION_FIXTURE_H_
#define BOOTSTRAP_NET_URL_SESSION_FIXTURE_H_

#include <stdint.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "net/url_session.h"
#include "support/scratch_tree.h"
#include "support/session_recorder.h"
#include "support/test_http_server.h"

// What the session's tests share: a fixture with a scratch directory and a
// server of its own, and a recorder of the delegate's calls.

using Clock = std::chrono::steady_clock;

RetryPolicy noRetries();
// Retries with waits of a few milliseconds.
RetryPolicy quickRetries();
SessionSettings withRetries(const RetryPolicy& retry);

class UrlSessionTest : public testing::Test {
 protected:
  // Downloads url into dir (the scratch directory by default) and waits
  // for the session to be gone.
  void download(const std::string& url, SessionRecorder* recorder,
                const std::string& dir = "",
                const std::string& ifNoneMatch = "");
  // Cancels the task, or invalidates the session, and destroys the
  // session: both at once, also when the server is silent.
  void stopPromptly(bool invalidate, DownloadTask* task,
                    std::unique_ptr<UrlSession> session,
                    SessionRecorder* recorder);
  TestReply generated(int64_t size) {
    TestReply reply;
    reply.generatedSize = size;
    return reply;
  }
  // Every test: no temporary file stays behind.
  void TearDown() override { EXPECT_TRUE(listDir(scratch_.path()).empty()); }

  ScratchTree scratch_;
  TestHttpServer server_;
  // Most tests watch one request: no retries unless they ask.
  SessionSettings settings_ = withRetries(noRetries());
};

// A URL path made of a case's name.
std::string pathOf(std::string name);

TestReply withHeaders(TestReply reply,
                      std::vector<std::pair<std::string, std::string>> headers);

#endif
