#include "net/url_session_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>

// Retries on the wire: what goes out again, what comes back, what the
// delegate hears.

namespace {

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
  settings_.retry = quickRetries();
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
    SessionRecorder recorder;
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

// Bytes an earlier run left in the caller's file: the first request asks
// for the rest of them beside its condition; the file ends up whole
// whatever the server answers, and a server that cannot answer now leaves
// them as they were. A part nothing vouches for is never spliced on: the
// whole is asked for at once.
TEST_F(UrlSessionTest, BytesHeldFromAnEarlierTransferAreContinued) {
  const int64_t size = 1024 * 1024;
  const int64_t held = 300 * 1024;
  const std::string whole = TestHttpServer::generatedBody(size);
  const struct {
    const char* name;
    const char* etag;
    bool acceptRanges;
    int status;
    long answered;
    std::vector<int64_t> bodyStarts;
    std::string body;  // what the file holds at the end
    int firstStatus = 0;  // of a first answer that is no part of it
    bool ignoresIfRange = false;
  } cases[] = {
      {"same archive", "\"v1\"", true, 200, 206, {held}, whole},
      {"archive changed", "\"v2\"", true, 200, 200, {0}, whole},
      {"ranges not taken", "\"v1\"", false, 200, 200, {0}, whole},
      {"not modified", "\"c1\"", true, 200, 304, {0}, ""},
      {"gone", "\"v1\"", true, 404, 404, {0}, "gone"},
      {"not now", "\"v1\"", true, 503, 0, {}, whole.substr(0, held)},
      {"unsatisfiable", "\"v1\"", true, 200, 200, {0}, whole, 416},
      {"changed, If-Range ignored", "\"v2\"", true, 200, 200, {0}, whole, 0,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = pathOf(c.name);
    TestReply reply = withHeaders(generated(size), {{"ETag", c.etag}});
    reply.acceptRanges = c.acceptRanges;
    reply.conditional = true;
    if (c.status != 200) {
      reply.status = c.status;
      reply.generatedSize = -1;
      reply.body = "gone";
    }
    TestReply first = reply;
    first.ignoreIfRange = c.ignoresIfRange;
    if (c.firstStatus) first = TestReply{c.firstStatus, {}, "no part"};
    server_.serveOnce(path, first);
    server_.serve(path, reply);
    const std::string file = scratch_.path() + "/kept";
    writeFile(file, whole.substr(0, held));
    ResumeData data;
    data.fd = open(file.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(data.fd, 0);
    data.path = file;
    data.held = held;
    data.validator = "\"v1\"";
    data.wholeLength = size;
    SessionRecorder recorder;
    {
      auto session = makeUrlSession(&recorder, scratch_.path(), settings_);
      session->downloadTaskWithResumeData(server_.url(path), "\"c1\"", data)
          ->resume();
      EXPECT_TRUE(recorder.waitForCompletion());
    }
    close(data.fd);

    std::vector<std::string> ranges = {"bytes=307200-"};
    if (c.firstStatus || c.ignoresIfRange) ranges.push_back("");
    // Bytes held that a whole archive replaces are said to go, once.
    EXPECT_EQ(recorder.startsOverLines.size(), c.answered == 200 ? 1u : 0u);
    EXPECT_EQ(server_.requestHeaders(path, "Range"), ranges);
    EXPECT_EQ(server_.requestHeaders(path, "If-Range")[0], "\"v1\"");
    EXPECT_EQ(server_.requestHeaders(path, "If-None-Match")[0], "\"c1\"");
    EXPECT_EQ(recorder.bodyStarts, c.bodyStarts);
    EXPECT_TRUE(readFile(file) == c.body);
    if (c.answered == 0) {
      EXPECT_EQ(recorder.calls(), "c");
      EXPECT_EQ(recorder.kind(), UrlError::Kind::kTransport);
    } else {
      EXPECT_EQ(recorder.kind(), UrlError::Kind::kNone);
      ASSERT_TRUE(recorder.finishResponse);
      EXPECT_EQ(recorder.finishResponse->statusCode, c.answered);
      EXPECT_EQ(recorder.finishedPath, file);
      EXPECT_EQ(reportedBytes(recorder),
                static_cast<int64_t>(c.body.size()) - c.bodyStarts[0]);
    }
    if (c.answered == 206) {
      EXPECT_EQ(recorder.finishResponse->expectedContentLength, size);
      EXPECT_EQ(recorder.writes.back().total, size);
    }
    unlink(file.c_str());
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
  settings_.retry = quickRetries();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = pathOf(c.name);
    TestReply refusal;
    refusal.status = c.status;
    refusal.body = "not now";
    if (c.retryAfter) refusal.headers = {{"Retry-After", c.retryAfter}};
    for (int i = 0; i < c.failures; ++i) server_.serveOnce(path, refusal);
    server_.serve(path, generated(1000));
    SessionRecorder recorder;
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
  settings_.retry = quickRetries();
  settings_.retry.retries = 2;
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
    SessionRecorder recorder;
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

// The condition goes out with the first request only: a retry that
// resumes a body must not be answered "not modified".
TEST_F(UrlSessionTest, TheConditionGoesOutUntilAnAnswerIsTaken) {
  settings_.retry = quickRetries();
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
  SessionRecorder recorder;
  download(server_.url("/a"), &recorder, "", "\"v1\"");

  EXPECT_EQ(recorder.calls(), "rwrwfc");
  EXPECT_EQ(server_.requestHeaders("/a", "If-None-Match"),
            (std::vector<std::string>{"\"v1\"", "\"v1\"", ""}));
  EXPECT_TRUE(recorder.finishedBody == TestHttpServer::generatedBody(100000));

  server_.serve("/b", whole);
  SessionRecorder confirmed;
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
  settings_.retry = quickRetries();
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
    SessionRecorder recorder;
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
  settings_.retry = quickRetries();
  TestReply busy;
  busy.status = 503;
  busy.headers = {{"Retry-After", "0"}};
  server_.serveOnce("/a", busy);
  server_.serve("/a", generated(10));
  SessionRecorder recorder;
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

}  // namespace
