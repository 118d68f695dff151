#include "net/url_session_fixture.h"

#include <errno.h>

#include <thread>

// A download on the wire: the body, the response, the failures, whom
// HTTPS trusts and where redirects may lead.

namespace {

TEST_F(UrlSessionTest, DownloadsTheWholeBody) {
  const int64_t size = 3 * 1024 * 1024 + 17;
  for (bool contentLength : {true, false}) {
    SCOPED_TRACE(contentLength ? "with Content-Length" : "chunked");
    const std::string path = contentLength ? "/agent.zip" : "/chunked.zip";
    const int64_t expected = contentLength ? size : -1;
    TestReply reply = generated(size);
    reply.contentLength = contentLength;
    server_.serve(path, reply);
    SessionRecorder recorder;
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
    SessionRecorder recorder;
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
    SessionRecorder recorder;
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
  SessionRecorder recorder;
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
    SessionRecorder recorder;
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
    std::string file, dir;
    bool trusted;
  } cases[] = {
      {"none", "", "", false},
      {"a file", made.caFile, "", true},
      {"a directory", "", made.caDir, true},
      {"an empty bundle", empty, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    settings_.trust = {c.file, c.dir};
    SessionRecorder recorder;
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
  EXPECT_EQ(server.requestCount("/agent.zip"), 2);  // those trusted
}

// A download that began over https never goes on over plain http, where
// anyone on the way could hand over another agent; the other way is fine.
TEST_F(UrlSessionTest, RedirectsNeverLeaveHttps) {
  ScratchTree certs;
  TestCertificates made;
  ASSERT_TRUE(makeTestCertificates(certs.path(), &made));
  settings_.trust.bundleFile = made.caFile;
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
    SessionRecorder recorder;
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
