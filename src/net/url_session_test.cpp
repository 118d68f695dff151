#include "net/url_session.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>

#include "support/scratch_tree.h"
#include "support/test_http_server.h"

namespace {

using Clock = std::chrono::steady_clock;
const auto kPatience = std::chrono::seconds(5);

// Sets (or, given null, unsets) a variable for the scope; the session reads
// it when made.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    set(value);
  }
  ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void set(const char* value) {
    if (value)
      setenv(name_, value, 1);
    else
      unsetenv(name_);
  }
  const char* const name_;
  std::optional<std::string> old_;
};

// A port on 127.0.0.1 whose connections the kernel completes and nobody
// ever answers.
class SilentListener {
 public:
  SilentListener() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 ||
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
        listen(fd_, 4) ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length))
      ADD_FAILURE() << "cannot listen on 127.0.0.1";
    port_ = ntohs(address.sin_port);
  }
  ~SilentListener() {
    if (fd_ >= 0) close(fd_);
  }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  int fd_;
  int port_ = 0;
};

struct Write {
  int64_t bytes, total, expected;
};

// Records the delegate's calls; hooks run on the worker inside the call.
// Read the record once the session is gone (its worker joined).
class Recorder : public UrlSessionDelegate {
 public:
  void didWriteData(DownloadTask& task, int64_t bytes, int64_t total,
                    int64_t expected) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      note('w');
      writes.push_back({bytes, total, expected});
      if (!firstResponse && task.response()) firstResponse = *task.response();
    }
    if (onWrite) onWrite(task);
  }
  void didFinishDownloadingToURL(DownloadTask& task,
                                 const std::string& path) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      note('f');
      finishedPath = path;
      finishedBody = readFile(path);
      if (task.response()) finishResponse = *task.response();
    }
    if (onFinish) onFinish(task);
  }
  void didCompleteWithError(DownloadTask& task,
                            const UrlError& error) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      note('c');
      errors.push_back(error);
    }
    completed_.notify_all();
    if (onComplete) onComplete(task);
  }

  void willRetry(DownloadTask& task, const UrlError& error, int retry,
                 std::chrono::milliseconds delay) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      note('r');
      retries.push_back({error, retry, delay});
    }
    if (onRetry) onRetry(task);
  }

  bool waitForCompletion() {
    std::unique_lock<std::mutex> lock(mutex_);
    return completed_.wait_for(lock, kPatience,
                               [this] { return !errors.empty(); });
  }
  // The calls in order, a run of writes as one 'w'.
  std::string calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  // The kind of the one completion; fails the test unless there is one.
  UrlError::Kind kind() const {
    std::lock_guard<std::mutex> lock(mutex_);
    EXPECT_EQ(errors.size(), 1u);
    return errors.empty() ? UrlError::Kind::kNone : errors[0].kind;
  }

  std::function<void(DownloadTask&)> onWrite, onFinish, onComplete, onRetry;
  std::vector<Write> writes;
  std::optional<UrlResponse> firstResponse, finishResponse;
  std::string finishedPath, finishedBody;
  std::vector<UrlError> errors;
  struct Retry {
    UrlError error;
    int retry;
    std::chrono::milliseconds delay;
  };
  std::vector<Retry> retries;
  std::set<std::thread::id> threads;

 private:
  void note(char call) {
    if (call != 'w' || calls_.empty() || calls_.back() != 'w') calls_ += call;
    threads.insert(std::this_thread::get_id());
  }

  mutable std::mutex mutex_;
  std::condition_variable completed_;
  std::string calls_;
};

RetryPolicy noRetries() {
  RetryPolicy policy;
  policy.retries = 0;
  return policy;
}

class UrlSessionTest : public testing::Test {
 protected:
  // Downloads url into dir (the scratch directory by default) and waits
  // for the session to be gone.
  void download(const std::string& url, Recorder* recorder,
                const std::string& dir = "",
                const std::string& ifNoneMatch = "") {
    auto session = makeUrlSession(
        recorder, dir.empty() ? scratch_.path() : dir, retry_);
    session->downloadTaskWithURL(url, ifNoneMatch)->resume();
    EXPECT_TRUE(recorder->waitForCompletion());
  }
  // Cancels the task, or invalidates the session, and destroys the
  // session: both at once, also when the server is silent.
  void stopPromptly(bool invalidate, DownloadTask* task,
                    std::unique_ptr<UrlSession> session, Recorder* recorder) {
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
  RetryPolicy retry_ = noRetries();
};

TEST_F(UrlSessionTest, DownloadsTheWholeBody) {
  const int64_t size = 3 * 1024 * 1024 + 17;
  for (bool contentLength : {true, false}) {
    SCOPED_TRACE(contentLength ? "with Content-Length" : "chunked");
    const std::string path = contentLength ? "/agent.zip" : "/chunked.zip";
    const int64_t expected = contentLength ? size : -1;
    TestReply reply = generated(size);
    reply.contentLength = contentLength;
    server_.serve(path, reply);
    Recorder recorder;
    download(server_.url(path), &recorder);

    EXPECT_EQ(recorder.calls(), "wfc");
    EXPECT_EQ(recorder.kind(), UrlError::Kind::kNone);
    ASSERT_GT(recorder.writes.size(), 1u);
    int64_t total = 0;
    for (const Write& write : recorder.writes) {
      total += write.bytes;
      EXPECT_EQ(write.total, total);
      EXPECT_EQ(write.expected, expected);
    }
    EXPECT_EQ(total, size);
    EXPECT_TRUE(recorder.finishedBody == TestHttpServer::generatedBody(size));
    EXPECT_EQ(recorder.finishedPath.rfind(scratch_.at("zrdownload-"), 0), 0u);
    ASSERT_TRUE(recorder.firstResponse);
    EXPECT_EQ(recorder.firstResponse->statusCode, 200);
    EXPECT_EQ(recorder.firstResponse->expectedContentLength, expected);
    EXPECT_EQ(server_.bytesSent(path), size);
    ASSERT_EQ(recorder.threads.size(), 1u);
    EXPECT_NE(*recorder.threads.begin(), std::this_thread::get_id());
  }
}

TEST_F(UrlSessionTest, FinishesWhateverTheStatus) {
  const struct {
    int status;
    std::string body;
    bool contentLength;
  } cases[] = {
      {404, "no such agent", true},
      {500, "broken", false},
      {200, "", true},
      {200, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.status) + " '" + c.body + "'");
    TestReply reply;
    reply.status = c.status;
    reply.body = c.body;
    reply.contentLength = c.contentLength;
    server_.serve("/page", reply);
    Recorder recorder;
    download(server_.url("/page"), &recorder);

    EXPECT_EQ(recorder.calls(), c.body.empty() ? "fc" : "wfc");
    EXPECT_EQ(recorder.kind(), UrlError::Kind::kNone);
    EXPECT_EQ(recorder.finishedBody, c.body);
    ASSERT_TRUE(recorder.finishResponse);
    EXPECT_EQ(recorder.finishResponse->statusCode, c.status);
  }
}

TEST_F(UrlSessionTest, HeaderFieldsMatchAnyCaseAndKeepTheirValue) {
  for (const std::string etag : {"\"abc\"", "W/\"abc\""}) {
    SCOPED_TRACE(etag);
    TestReply reply;
    reply.body = "x";
    reply.headers = {{"ETag", etag}, {"X-Padded", " \t spaced  out \t"}};
    server_.serve("/tagged", reply);
    Recorder recorder;
    download(server_.url("/tagged"), &recorder);

    ASSERT_TRUE(recorder.finishResponse);
    const UrlResponse& response = *recorder.finishResponse;
    for (const char* name : {"ETag", "etag", "ETAG"}) {
      std::string value;
      EXPECT_TRUE(response.headerField(name, &value)) << name;
      EXPECT_EQ(value, etag) << name;
    }
    std::string padded;
    EXPECT_TRUE(response.headerField("x-padded", &padded));
    EXPECT_EQ(padded, "spaced  out");
    EXPECT_FALSE(response.headerField("X-Missing", &padded));
  }
}

TEST_F(UrlSessionTest, RedirectGivesTheFinalResponse) {
  TestReply moved;
  moved.status = 302;
  moved.headers = {
      {"Location", server_.url("/new")}, {"ETag", "\"old\""}, {"X-Old", "1"}};
  TestReply target;
  target.body = "new body";
  target.headers = {{"ETag", "\"new\""}};
  server_.serve("/old", moved);
  server_.serve("/new", target);
  Recorder recorder;
  download(server_.url("/old"), &recorder);

  EXPECT_EQ(recorder.calls(), "wfc");
  EXPECT_EQ(recorder.finishedBody, "new body");
  ASSERT_TRUE(recorder.finishResponse);
  std::string etag;
  EXPECT_TRUE(recorder.finishResponse->headerField("ETag", &etag));
  EXPECT_EQ(etag, "\"new\"");
  EXPECT_FALSE(recorder.finishResponse->headerField("X-Old", nullptr));
  EXPECT_EQ(recorder.finishResponse->statusCode, 200);
}

TEST_F(UrlSessionTest, TransportFailuresOnlyComplete) {
  TestReply cut = generated(1024 * 1024);
  cut.cutAfter = 300 * 1024;
  server_.serve("/cut", cut);
  cut.contentLength = false;
  server_.serve("/cut-chunked", cut);
  server_.serve("/fine", generated(10));
  TestReply loop;
  loop.status = 302;
  loop.headers = {{"Location", server_.url("/loop")}};
  server_.serve("/loop", loop);
  // Over libcurl's limit on a header line, which it reports as lack of
  // memory.
  TestReply hugeTag = generated(10);
  hugeTag.headers = {{"ETag", "\"" + std::string(1 << 20, 'x') + "\""}};
  server_.serve("/huge-tag", hugeTag);
  const struct {
    std::string url;
    std::string dir;          // empty: the scratch directory
    const char* description;  // part of it, if it matters
  } cases[] = {
      {"http://127.0.0.1:" + std::to_string(refusedPort()) + "/x", "", ""},
      {server_.url("/cut"), "", ""},
      {server_.url("/cut-chunked"), "", ""},
      {"not a url", "", ""},
      {"", "", ""},
      {"file:///etc/passwd", "", ""},
      {server_.url("/loop"), "", ""},
      {server_.url("/fine"), scratch_.at("missing"), ""},
      {server_.url("/huge-tag"), "", "a header line over 100 KB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url + " in " + c.dir);
    Recorder recorder;
    download(c.url, &recorder, c.dir);

    EXPECT_EQ(recorder.calls().find('f'), std::string::npos);
    ASSERT_EQ(recorder.errors.size(), 1u);
    const UrlError& error = recorder.errors[0];
    EXPECT_EQ(error.kind, UrlError::Kind::kTransport);
    EXPECT_FALSE(error.localizedDescription.empty());
    EXPECT_NE(error.localizedDescription.find(c.description), std::string::npos)
        << error.localizedDescription;
    EXPECT_EQ(error.localizedDescription.find('\n'), std::string::npos);
    EXPECT_EQ(error.failingUrl, c.url);
    // Only a file that cannot be made is a failure of storage.
    EXPECT_EQ(error.storageErrno, c.dir.empty() ? 0 : ENOENT);
  }
  EXPECT_EQ(server_.requestCount("/loop"), 11);  // the first and 10 more
}

TEST_F(UrlSessionTest, CancelInFirstWriteStopsASlowTransfer) {
  const int64_t size = 32 * 1024 * 1024;
  TestReply slow = generated(size);
  slow.chunkDelayMs = 5;
  server_.serve("/slow", slow);
  Recorder recorder;
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
    Recorder recorder;
    auto session = makeUrlSession(&recorder, scratch_.path(), retry_);
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
    Recorder recorder;
    auto session = makeUrlSession(&recorder, scratch_.path(), retry_);
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
  Recorder recorder;
  auto session = makeUrlSession(&recorder, scratch_.path(), retry_);
  DownloadTask* task = session->downloadTaskWithURL(server_.url("/file"), "");
  task->cancel();
  task->resume();
  EXPECT_TRUE(recorder.waitForCompletion());
  session.reset();
  EXPECT_EQ(recorder.calls(), "c");
  EXPECT_EQ(recorder.kind(), UrlError::Kind::kCancelled);
  EXPECT_EQ(server_.requestCount("/file"), 0);
}

TEST(TestHttpServerTest, CountsWhatItSends) {
  TestHttpServer server;
  TestReply whole;
  whole.generatedSize = 200000;
  server.serve("/whole", whole);
  TestReply cut = whole;
  cut.cutAfter = 70000;
  server.serve("/cut", cut);
  httplib::Client client("127.0.0.1", server.port());

  for (int i = 1; i <= 2; ++i) {
    auto result = client.Get("/whole");
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->body == TestHttpServer::generatedBody(200000));
    EXPECT_EQ(server.requestCount("/whole"), i);
    EXPECT_EQ(server.bytesSent("/whole"), i * 200000);
  }
  EXPECT_FALSE(client.Get("/cut"));
  EXPECT_EQ(server.bytesSent("/cut"), 70000);
  auto missing = client.Get("/missing");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(server.requestCount("/missing"), 1);
  EXPECT_FALSE(httplib::Client("127.0.0.1", refusedPort()).Get("/"));
}

TEST(TestHttpServerTest, StopsPromptlyInALongPause) {
  auto server = std::make_unique<TestHttpServer>();
  TestReply silent;
  silent.body = "late";
  silent.chunkDelayMs = 30000;
  server->serve("/silent", silent);
  std::thread client([port = server->port()] {
    EXPECT_FALSE(httplib::Client("127.0.0.1", port).Get("/silent"));
  });
  auto deadline = Clock::now() + kPatience;
  while (server->requestCount("/silent") == 0 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  auto start = Clock::now();
  server.reset();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  client.join();
}

TEST_F(UrlSessionTest, SilenceAfterConnectingEndsTheTransfer) {
  ScopedEnv limit("ZR_BOOTSTRAP_STALL_SECONDS", "1");
  TestReply silent = generated(1024);
  silent.chunkDelayMs = 30000;
  server_.serve("/silent", silent);
  SilentListener listener;
  std::string handshake = listener.url("/agent.zip");
  handshake.replace(0, 4, "https");
  DribblingHeaderServer dribbling(200);
  const struct {
    const char* name;
    std::string url;
    std::string description;
  } cases[] = {
      {"after the header", server_.url("/silent"),
       "no data received for 1 second"},
      {"before the header", listener.url("/agent.zip"),
       "no data received for 1 second"},
      // The connect limit covers the TLS handshake.
      {"in the handshake", handshake, "timeout"},
      // Header lines alone do not count as an answer.
      {"a header that never ends", dribbling.url("/agent.zip"),
       "no complete answer within 1 second"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder recorder;
    auto start = Clock::now();
    download(c.url, &recorder);
    auto elapsed = Clock::now() - start;

    EXPECT_GE(elapsed, std::chrono::seconds(1));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
    EXPECT_EQ(recorder.calls(), "c");
    ASSERT_EQ(recorder.kind(), UrlError::Kind::kTransport);
    EXPECT_NE(recorder.errors[0].localizedDescription.find(c.description),
              std::string::npos)
        << recorder.errors[0].localizedDescription;
    EXPECT_EQ(recorder.errors[0].failingUrl, c.url);
  }
  EXPECT_GE(dribbling.linesSent(), 4) << "the header did not go on";
}

// A byte every 0.6 s averages under the 1 byte/s that libcurl's low-speed
// check would ask for, yet the server never falls silent for 2 s.
TEST_F(UrlSessionTest, ASlowTrickleIsNotAStall) {
  ScopedEnv limit("ZR_BOOTSTRAP_STALL_SECONDS", "2");
  TestReply trickle = generated(5);
  trickle.chunkSize = 1;
  trickle.chunkDelayMs = 600;
  server_.serve("/trickle", trickle);
  Recorder recorder;
  download(server_.url("/trickle"), &recorder);

  EXPECT_EQ(recorder.kind(), UrlError::Kind::kNone);
  EXPECT_EQ(recorder.writes.size(), 5u);
  EXPECT_EQ(recorder.finishedBody, TestHttpServer::generatedBody(5));
}

TEST_F(UrlSessionTest, HttpsTrustsOnlyTheConfiguredAuthorities) {
  ScratchTree certs;
  TestCertificates made;
  ASSERT_TRUE(makeTestCertificates(certs.path(), &made));
  const std::string empty = certs.at("empty.pem");
  writeFile(empty, "");
  TestHttpServer server(made.certFile, made.keyFile);
  server.serve("/agent.zip", generated(100000));
  const struct {
    const char* name;
    const char* bundle;  // CURL_CA_BUNDLE
    const char* file;    // SSL_CERT_FILE
    const char* dir;     // SSL_CERT_DIR
    bool trusted;
  } cases[] = {
      {"no variable", nullptr, nullptr, nullptr, false},
      {"SSL_CERT_FILE", nullptr, made.caFile.c_str(), nullptr, true},
      {"CURL_CA_BUNDLE", made.caFile.c_str(), nullptr, nullptr, true},
      {"SSL_CERT_DIR", nullptr, nullptr, made.caDir.c_str(), true},
      {"CURL_CA_BUNDLE wins", made.caFile.c_str(), empty.c_str(), nullptr,
       true},
      {"CURL_CA_BUNDLE wins over a good file", empty.c_str(),
       made.caFile.c_str(), nullptr, false},
      {"an empty one does not count", "", made.caFile.c_str(), nullptr, true},
      {"all empty", "", "", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedEnv bundle("CURL_CA_BUNDLE", c.bundle);
    ScopedEnv file("SSL_CERT_FILE", c.file);
    ScopedEnv dir("SSL_CERT_DIR", c.dir);
    Recorder recorder;
    download(server.url("/agent.zip"), &recorder);

    ASSERT_EQ(recorder.errors.size(), 1u);
    const UrlError& error = recorder.errors[0];
    if (c.trusted) {
      EXPECT_EQ(error.kind, UrlError::Kind::kNone) << error.localizedDescription;
      EXPECT_TRUE(recorder.finishedBody ==
                  TestHttpServer::generatedBody(100000));
    } else {
      EXPECT_EQ(error.kind, UrlError::Kind::kTransport);
      EXPECT_NE(error.localizedDescription.find("certificate"),
                std::string::npos)
          << error.localizedDescription;
      EXPECT_EQ(recorder.calls(), "c");
    }
  }
  EXPECT_GE(server.requestCount("/agent.zip"), 5);
}

// A download that began over https never goes on over plain http, where
// anyone on the way could hand over another agent; the other way is fine.
TEST_F(UrlSessionTest, RedirectsNeverLeaveHttps) {
  ScratchTree certs;
  TestCertificates made;
  ASSERT_TRUE(makeTestCertificates(certs.path(), &made));
  ScopedEnv trust("CURL_CA_BUNDLE", made.caFile.c_str());
  TestHttpServer secure(made.certFile, made.keyFile);
  TestReply agent = generated(1000);
  server_.serve("/agent.zip", agent);
  secure.serve("/agent.zip", agent);
  TestReply toPlain;
  toPlain.status = 302;
  toPlain.headers = {{"Location", server_.url("/agent.zip")}};
  secure.serve("/moved", toPlain);
  TestReply toSecure = toPlain;
  toSecure.headers = {{"Location", secure.url("/agent.zip")}};
  server_.serve("/moved", toSecure);
  const struct {
    const char* name;
    std::string url;
    bool refused;
  } cases[] = {
      {"https to http", secure.url("/moved"), true},
      {"http to https", server_.url("/moved"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder recorder;
    download(c.url, &recorder);

    ASSERT_EQ(recorder.errors.size(), 1u);
    const UrlError& error = recorder.errors[0];
    if (c.refused) {
      EXPECT_EQ(recorder.calls(), "c");
      EXPECT_EQ(error.kind, UrlError::Kind::kTransport);
      EXPECT_NE(error.localizedDescription.find(
                    "refused a redirect from https to http"),
                std::string::npos)
          << error.localizedDescription;
    } else {
      EXPECT_EQ(error.kind, UrlError::Kind::kNone)
          << error.localizedDescription;
      EXPECT_TRUE(recorder.finishedBody == TestHttpServer::generatedBody(1000));
    }
  }
  EXPECT_EQ(server_.requestCount("/agent.zip"), 0);
}

}  // namespace

namespace {

RetryPolicy quickRetries() {
  RetryPolicy policy;
  policy.firstDelay = std::chrono::milliseconds(10);
  policy.longestWait = std::chrono::milliseconds(30);
  return policy;
}

// A URL path made of a case's name.
std::string pathOf(std::string name) {
  std::replace(name.begin(), name.end(), ' ', '-');
  return "/" + name;
}

TestReply withHeaders(TestReply reply,
                      std::vector<std::pair<std::string, std::string>> headers) {
  reply.headers = std::move(headers);
  return reply;
}

// Bytes reported to the delegate, each counted once.
int64_t reportedBytes(const Recorder& recorder) {
  int64_t total = 0;
  for (const Write& write : recorder.writes) total += write.bytes;
  return total;
}

}  // namespace

// A body cut short comes whole on retry: the rest of it when the server
// can vouch for it, all of it again otherwise, also when the server has
// another archive by then; the delegate hears of each byte once and finds
// the exact body, and the response is the answer the body came with.
TEST_F(UrlSessionTest, ACutBodyIsResumedOrFetchedAgain) {
  using Headers = std::vector<std::pair<std::string, std::string>>;
  const int64_t size = 1024 * 1024;
  const int64_t cut = 300 * 1024;
  const struct {
    const char* name;
    Headers headers;
    bool contentLength;
    const char* rangeAsked;
    Headers retryHeaders;  // of the answer to the retry, if not headers
  } cases[] = {
      {"strong etag", {{"ETag", "\"v1\""}}, true, "bytes=307200-", {}},
      {"chunked", {{"ETag", "\"v1\""}}, false, "bytes=307200-", {}},
      {"last modified",
       {{"Last-Modified", "Sun, 06 Nov 1994 08:49:37 GMT"}},
       true,
       "bytes=307200-",
       {}},
      {"no validator", {}, true, "", {}},
      {"etag changed", {{"ETag", "\"v1\""}}, true, "bytes=307200-",
       {{"ETag", "\"v2\""}}},
      // As a server says of a file changed within the last second.
      {"etag changed form", {{"ETag", "W/\"v1\""}}, true, "",
       {{"ETag", "\"v1\""}}},
  };
  retry_ = quickRetries();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = pathOf(c.name);
    const Headers& retryHeaders =
        c.retryHeaders.empty() ? c.headers : c.retryHeaders;
    TestReply whole = withHeaders(generated(size), retryHeaders);
    whole.contentLength = c.contentLength;
    whole.acceptRanges = true;
    TestReply first = withHeaders(whole, c.headers);
    first.cutAfter = cut;
    server_.serveOnce(path, first);
    server_.serve(path, whole);
    Recorder recorder;
    download(server_.url(path), &recorder);

    EXPECT_EQ(recorder.calls(), "wrwfc")
        << (recorder.errors.empty() ? "" : recorder.errors[0].localizedDescription);
    EXPECT_EQ(recorder.kind(), UrlError::Kind::kNone);
    EXPECT_EQ(server_.requestHeaders(path, "Range"), (std::vector<std::string>{"", c.rangeAsked}));
    EXPECT_EQ(reportedBytes(recorder), size);
    EXPECT_EQ(recorder.writes.back().total, size);
    EXPECT_TRUE(recorder.finishedBody == TestHttpServer::generatedBody(size));
    ASSERT_TRUE(recorder.finishResponse);
    EXPECT_EQ(recorder.finishResponse->statusCode, 200);
    for (const auto& header : retryHeaders) {
      std::string value;
      EXPECT_TRUE(recorder.finishResponse->headerField(header.first, &value));
      EXPECT_EQ(value, header.second) << header.first;
    }
    ASSERT_EQ(recorder.retries.size(), 1u);
    EXPECT_EQ(recorder.retries[0].retry, 1);
    EXPECT_LE(recorder.retries[0].delay, std::chrono::milliseconds(10));
  }
}

// Transient statuses are retried unseen, each wait as the server asks
// (up to the longest) or drawn up to a cap that doubles; the last answer is
// the one reported.
TEST_F(UrlSessionTest, StatusesThatMayPassAreRetried) {
  using Ms = std::chrono::milliseconds;
  const struct {
    const char* name;
    int status;
    const char* retryAfter;  // null: none
    int failures;            // answers with the status before a 200
    int requests;
    std::string calls;
    long reportedStatus;
    std::vector<Ms> delays;
    bool drawn;  // each wait is drawn up to its delay, else exactly it
  } cases[] = {
      {"503 then fine", 503, "0", 1, 2, "rwfc", 200, {Ms(0)}, false},
      {"429 asks for a wait", 429, "1", 1, 2, "rwfc", 200, {Ms(30)}, false},
      {"408 bad date", 408, "soon", 1, 2, "rwfc", 200, {Ms(10)}, true},
      {"500 all along", 500, nullptr, 9, 4, "rrrwfc", 500,
       {Ms(10), Ms(20), Ms(40)}, true},
      {"404 is final", 404, nullptr, 9, 1, "wfc", 404, {}, false},
      {"403 is final", 403, "0", 9, 1, "wfc", 403, {}, false},
  };
  retry_ = quickRetries();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = pathOf(c.name);
    TestReply refusal;
    refusal.status = c.status;
    refusal.body = "not now";
    if (c.retryAfter) refusal.headers = {{"Retry-After", c.retryAfter}};
    for (int i = 0; i < c.failures; ++i) server_.serveOnce(path, refusal);
    server_.serve(path, generated(1000));
    Recorder recorder;
    download(server_.url(path), &recorder);

    EXPECT_EQ(recorder.calls(), c.calls);
    EXPECT_EQ(server_.requestCount(path), c.requests);
    ASSERT_TRUE(recorder.firstResponse);
    EXPECT_EQ(recorder.firstResponse->statusCode, c.reportedStatus);
    ASSERT_EQ(recorder.retries.size(), c.delays.size());
    for (size_t i = 0; i < c.delays.size(); ++i) {
      const Ms delay = recorder.retries[i].delay;
      if (c.drawn) {
        EXPECT_GE(delay, Ms(0));
        EXPECT_LE(delay, c.delays[i]);
      } else {
        EXPECT_EQ(delay, c.delays[i]);
      }
    }
  }
}

TEST_F(UrlSessionTest, RetriesEndWithTheLastTransportFailure) {
  retry_ = quickRetries();
  retry_.retries = 2;
  TestReply cut = withHeaders(generated(100000), {{"ETag", "\"v1\""}});
  cut.cutAfter = 1000;
  cut.acceptRanges = true;
  server_.serve("/cut", cut);
  TestReply gone;
  gone.status = 404;
  server_.serveOnce("/gone", cut);
  server_.serve("/gone", gone);
  const struct {
    std::string url;
    std::string calls;
    const char* description;  // part of the failure's description
  } cases[] = {
      {"http://127.0.0.1:" + std::to_string(refusedPort()) + "/x", "rrc",
       "onnect"},
      {server_.url("/cut"), "wrrc", ""},
      {server_.url("/gone"), "wrc",
       "the server answered the retry with status 404"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    Recorder recorder;
    download(c.url, &recorder);

    EXPECT_EQ(recorder.calls(), c.calls);
    EXPECT_EQ(recorder.kind(), UrlError::Kind::kTransport);
    ASSERT_FALSE(recorder.errors.empty());
    EXPECT_NE(recorder.errors[0].localizedDescription.find(c.description),
              std::string::npos)
        << recorder.errors[0].localizedDescription;
  }
  // The cut body was resumed twice and came no further.
  EXPECT_EQ(server_.requestHeaders("/cut", "Range"),
            (std::vector<std::string>{"", "bytes=1000-", "bytes=1000-"}));
}

// Each waits a time of its own below the cap, so that clients that failed
// together do not come back together; and a cancel ends the wait at once.
TEST_F(UrlSessionTest, CancelEndsTheWaitBeforeARetry) {
  retry_ = quickRetries();
  retry_.firstDelay = std::chrono::hours(1);
  const std::string url =
      "http://127.0.0.1:" + std::to_string(refusedPort()) + "/x";
  std::set<std::chrono::milliseconds::rep> waits;
  for (bool invalidate : {false, true}) {
    SCOPED_TRACE(invalidate ? "invalidateAndCancel" : "cancel");
    Recorder recorder;
    std::promise<void> waiting;
    auto session = makeUrlSession(&recorder, scratch_.path(), retry_);
    DownloadTask* task = session->downloadTaskWithURL(url, "");
    recorder.onRetry = [&](DownloadTask&) { waiting.set_value(); };
    task->resume();
    ASSERT_EQ(waiting.get_future().wait_for(kPatience),
              std::future_status::ready);
    stopPromptly(invalidate, task, std::move(session), &recorder);
    EXPECT_EQ(recorder.calls(), invalidate ? "r" : "rc");
    ASSERT_EQ(recorder.retries.size(), 1u);
    EXPECT_LT(recorder.retries[0].delay, retry_.firstDelay);
    waits.insert(recorder.retries[0].delay.count());
  }
  EXPECT_EQ(waits.size(), 2u) << "both waited as long";
}

// The condition goes out with the first request only: a retry that
// resumes a body must not be answered "not modified".
TEST_F(UrlSessionTest, TheConditionGoesOutUntilAnAnswerIsTaken) {
  retry_ = quickRetries();
  TestReply whole = withHeaders(generated(100000), {{"ETag", "\"v2\""}});
  whole.acceptRanges = true;
  whole.conditional = true;
  TestReply busy;
  busy.status = 503;
  TestReply cut = whole;
  cut.cutAfter = 1000;
  server_.serveOnce("/a", busy);
  server_.serveOnce("/a", cut);
  server_.serve("/a", whole);
  Recorder recorder;
  download(server_.url("/a"), &recorder, "", "\"v1\"");

  EXPECT_EQ(recorder.calls(), "rwrwfc");
  EXPECT_EQ(server_.requestHeaders("/a", "If-None-Match"),
            (std::vector<std::string>{"\"v1\"", "\"v1\"", ""}));
  EXPECT_TRUE(recorder.finishedBody == TestHttpServer::generatedBody(100000));

  server_.serve("/b", whole);
  Recorder confirmed;
  download(server_.url("/b"), &confirmed, "", "\"v2\"");
  EXPECT_EQ(confirmed.calls(), "fc");
  EXPECT_EQ(confirmed.finishResponse->statusCode, 304);
  EXPECT_EQ(confirmed.finishedBody, "");
}

// An intermediary may compress the answer though the request asks for the
// identity: the delegate gets the archive itself, of a length unknown
// until the end, and a cut one comes whole again, since a range of the
// compressed bytes is no range of the archive.
TEST_F(UrlSessionTest, ACompressedAnswerIsDecodedAndNeverResumed) {
  retry_ = quickRetries();
  const int64_t size = 300 * 1024;
  TestReply compressed;
  compressed.body = gzipped(TestHttpServer::generatedBody(size));
  compressed.headers = {{"Content-Encoding", "gzip"}, {"ETag", "\"v1\""}};
  compressed.acceptRanges = true;
  TestReply cut = compressed;
  cut.cutAfter = static_cast<int64_t>(compressed.body.size() / 2);
  server_.serve("/whole", compressed);
  server_.serveOnce("/cut", cut);
  server_.serve("/cut", compressed);
  const struct {
    const char* path;
    std::vector<std::string> ranges;
  } cases[] = {
      {"/whole", {""}},
      {"/cut", {"", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Recorder recorder;
    download(server_.url(c.path), &recorder);

    EXPECT_EQ(recorder.kind(), UrlError::Kind::kNone)
        << recorder.errors[0].localizedDescription;
    EXPECT_TRUE(recorder.finishedBody == TestHttpServer::generatedBody(size));
    EXPECT_EQ(reportedBytes(recorder), size);
    for (const Write& write : recorder.writes) EXPECT_EQ(write.expected, -1);
    EXPECT_EQ(server_.requestHeaders(c.path, "Range"), c.ranges);
    EXPECT_EQ(server_.requestHeaders(c.path, "Accept-Encoding"),
              std::vector<std::string>(c.ranges.size(), "identity"));
  }
}

// Caches on the way check with the server rather than answer from a stale
// copy, for the retries too; the server learns which installer asks.
TEST_F(UrlSessionTest, EveryRequestAsksCachesToRevalidate) {
  retry_ = quickRetries();
  TestReply busy;
  busy.status = 503;
  busy.headers = {{"Retry-After", "0"}};
  server_.serveOnce("/a", busy);
  server_.serve("/a", generated(10));
  Recorder recorder;
  download(server_.url("/a"), &recorder);

  EXPECT_EQ(recorder.kind(), UrlError::Kind::kNone);
  using Strings = std::vector<std::string>;
  EXPECT_EQ(server_.requestHeaders("/a", "Cache-Control"),
            (Strings{"no-cache", "no-cache"}));
  EXPECT_EQ(server_.requestHeaders("/a", "Pragma"),
            (Strings{"no-cache", "no-cache"}));
  const std::string agent = "bootstrap-installer/" BOOTSTRAP_VERSION;
  EXPECT_EQ(server_.requestHeaders("/a", "User-Agent"),
            (Strings{agent, agent}));
}
