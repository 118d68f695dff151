#include "net/url_session_fixture.h"

#include <future>
#include <set>
#include <thread>

// cancel() and invalidateAndCancel(): before, during and after the
// delegate's calls, while the server is silent, and in a wait to retry.

namespace {

TEST_F(UrlSessionTest, CancelInFirstWriteStopsASlowTransfer) {
  const int64_t size = 32 * 1024 * 1024;
  TestReply slow = generated(size);
  slow.chunkDelayMs = 5;
  server_.serve("/slow", slow);
  SessionRecorder recorder;
  recorder.onWrite = [](DownloadTask& task) { task.cancel(); };
  download(server_.url("/slow"), &recorder);

  EXPECT_EQ(recorder.calls(), "wc");
  EXPECT_EQ(recorder.writes.size(), 1u);
  EXPECT_EQ(recorder.kind(), UrlError::Kind::kCancelled);
  EXPECT_LT(server_.bytesSent("/slow"), size / 8);
}

// The worker is blocked in the call named by `in` (as when it waits for
// the main thread); the test cancels from outside meanwhile, or the hook
// does it itself on the worker.
TEST_F(UrlSessionTest, CancelAroundDelegateCalls) {
  // Many chunks, or one: a cancel in the last write must stop the finish.
  server_.serve("/large", generated(2 * 1024 * 1024));
  server_.serve("/small", generated(1000));
  enum In { kWrite, kFinish, kComplete };
  const struct {
    In in;
    bool fromWorker;
    bool invalidate;
    std::string path;
    std::string calls;
  } cases[] = {
      {kWrite, false, false, "/large", "wc"},
      {kWrite, false, true, "/large", "w"},
      {kWrite, true, false, "/large", "wc"},
      {kWrite, true, true, "/large", "w"},
      {kWrite, true, false, "/small", "wc"},
      {kFinish, false, false, "/small", "wfc"},
      {kFinish, true, true, "/small", "wf"},
      {kComplete, true, false, "/small", "wfc"},
      {kComplete, false, true, "/small", "wfc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "in " << c.in << " from worker " << c.fromWorker
                 << " invalidate " << c.invalidate << " " << c.path);
    // Declared before the session: its worker uses them until it is gone.
    std::promise<void> entered, released;
    std::future<void> inCall = entered.get_future();
    std::future<void> resumed = released.get_future();
    bool first = true;
    SessionRecorder recorder;
    auto session = makeUrlSession(&recorder, scratch_.path(), settings_);
    DownloadTask* task = session->downloadTaskWithURL(server_.url(c.path), "");
    auto stop = [&] {
      if (c.invalidate)
        session->invalidateAndCancel();
      else
        task->cancel();
    };
    auto hook = [&](DownloadTask&) {
      if (!first) return;
      first = false;
      if (c.fromWorker) stop();
      entered.set_value();
      EXPECT_EQ(resumed.wait_for(kPatience), std::future_status::ready);
    };
    (c.in == kWrite    ? recorder.onWrite
     : c.in == kFinish ? recorder.onFinish
                       : recorder.onComplete) = hook;
    task->resume();
    ASSERT_EQ(inCall.wait_for(kPatience), std::future_status::ready);
    if (!c.fromWorker) stop();
    released.set_value();
    // A cancelled task still reports; destroying the session would not
    // wait for that.
    if (!c.invalidate) {
      EXPECT_TRUE(recorder.waitForCompletion());
    }
    session.reset();

    EXPECT_EQ(recorder.calls(), c.calls);
    if (c.calls.back() == 'c') {
      EXPECT_EQ(recorder.kind(), c.in == kComplete
                                     ? UrlError::Kind::kNone
                                     : UrlError::Kind::kCancelled);
    }
  }
}

TEST_F(UrlSessionTest, CancelTakesEffectWhileTheServerIsSilent) {
  TestReply silent = generated(1024);
  silent.chunkDelayMs = 30000;
  server_.serve("/silent", silent);
  for (bool invalidate : {false, true}) {
    SCOPED_TRACE(invalidate ? "invalidateAndCancel" : "cancel");
    SessionRecorder recorder;
    auto session = makeUrlSession(&recorder, scratch_.path(), settings_);
    DownloadTask* task = session->downloadTaskWithURL(server_.url("/silent"), "");
    int requests = server_.requestCount("/silent");
    task->resume();
    auto deadline = Clock::now() + kPatience;
    while (server_.requestCount("/silent") == requests &&
           Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // Past libcurl's early connect timers, only a wakeup ends its poll soon.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    stopPromptly(invalidate, task, std::move(session), &recorder);
    EXPECT_EQ(recorder.calls(), invalidate ? "" : "c");
  }
}

TEST_F(UrlSessionTest, CancelBeforeResumeSendsNoRequest) {
  server_.serve("/file", generated(10));
  SessionRecorder recorder;
  auto session = makeUrlSession(&recorder, scratch_.path(), settings_);
  DownloadTask* task = session->downloadTaskWithURL(server_.url("/file"), "");
  task->cancel();
  task->resume();
  EXPECT_TRUE(recorder.waitForCompletion());
  session.reset();
  EXPECT_EQ(recorder.calls(), "c");
  EXPECT_EQ(recorder.kind(), UrlError::Kind::kCancelled);
  EXPECT_EQ(server_.requestCount("/file"), 0);
}

// Each waits a time of its own below the cap, so that clients that failed
// together do not come back together; and a cancel ends the wait at once.
TEST_F(UrlSessionTest, CancelEndsTheWaitBeforeARetry) {
  settings_.retry = quickRetries();
  settings_.retry.firstDelay = std::chrono::hours(1);
  const std::string url =
      "http://127.0.0.1:" + std::to_string(refusedPort()) + "/x";
  std::set<std::chrono::milliseconds::rep> waits;
  for (bool invalidate : {false, true}) {
    SCOPED_TRACE(invalidate ? "invalidateAndCancel" : "cancel");
    SessionRecorder recorder;
    std::promise<void> waiting;
    auto session = makeUrlSession(&recorder, scratch_.path(), settings_);
    DownloadTask* task = session->downloadTaskWithURL(url, "");
    recorder.onRetry = [&](DownloadTask&) { waiting.set_value(); };
    task->resume();
    ASSERT_EQ(waiting.get_future().wait_for(kPatience),
              std::future_status::ready);
    stopPromptly(invalidate, task, std::move(session), &recorder);
    EXPECT_EQ(recorder.calls(), invalidate ? "r" : "rc");
    ASSERT_EQ(recorder.retries.size(), 1u);
    EXPECT_LT(recorder.retries[0].delay, settings_.retry.firstDelay);
    waits.insert(recorder.retries[0].delay.count());
  }
  EXPECT_EQ(waits.size(), 2u) << "both waited as long";
}

}  // namespace
