// Servers and intermediaries that answer oddly: the built executable runs
// the agent only from an archive that a 200 carried whole, and otherwise
// says in one line what went wrong, soon.

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;

const char kLastLine[] = "Installation failed.\n";

class OddServers : public BundleFixture {
 protected:
  OddServers() { makeBundle(Layout::kAppBundle); }

  std::string marker() const { return cache() + ".validatestring"; }

  // Exit 255, the text shown and the line logged both there, "Installation
  // failed." last, no agent run and no scratch left.
  void expectFailure(const ProcessResult& result, const std::string& shown,
                     const std::string& logged) {
    EXPECT_EQ(result.exitCode, 255) << result.err;
    EXPECT_NE(result.err.find(shown), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(logged), std::string::npos) << result.err;
    const std::string last = kLastLine;
    ASSERT_GE(result.err.size(), last.size());
    EXPECT_EQ(result.err.substr(result.err.size() - last.size()), last);
    EXPECT_EQ(agentRuns(), "");
    EXPECT_FALSE(pathExists(marker()));
    EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
  }

  TestHttpServer server_;
};

// Only a 200 carries the archive: a 3xx that libcurl cannot follow, or
// another 2xx, is refused like an error status, even when its body is an
// agent archive.
TEST_F(OddServers, AnswersOtherThanA200AreRefused) {
  const std::string archive = readFile(makeAgentArchive("wrong"));
  const struct {
    int status;
    std::string body;
  } cases[] = {{302, archive}, {201, archive}, {204, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    const std::string path = "/" + std::to_string(c.status);
    TestReply reply;
    reply.status = c.status;
    reply.body = c.body;
    reply.headers = {{"ETag", "\"e\""}};
    server_.serve(path, reply);
    setUrl(server_.url(path));
    const std::string status = std::to_string(c.status);
    expectFailure(run({}), "Download failed with error code " + status + "\n",
                  "Download failed with http error code- " + status + "\n");
  }
}

// Transport failures end the run within the limits and name their cause;
// the window says where the log is.
TEST_F(OddServers, TransportFailuresNameTheirCause) {
  TestCertificates made;
  ASSERT_TRUE(makeTestCertificates(tree_.at("certs"), &made));
  TestHttpServer secure(made.certFile, made.keyFile);
  TestReply toPlain;
  toPlain.status = 302;
  toPlain.headers = {{"Location", server_.url("/agent.zip")}};
  secure.serve("/moved", toPlain);
  TestReply agent;
  agent.body = readFile(makeAgentArchive("plain"));
  server_.serve("/agent.zip", agent);
  DribblingHeaderServer dribbling(300);
  const struct {
    const char* name;
    std::string url;
    const char* logged;
  } cases[] = {
      {"a header that never ends", dribbling.url("/agent.zip"),
       "no complete answer within 1 second"},
      {"https to http", secure.url("/moved"),
       "refused a redirect from https to http"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setUrl(c.url);
    auto start = std::chrono::steady_clock::now();
    ProcessResult result =
        run({}, {"ZR_BOOTSTRAP_STALL_SECONDS=1", "ZR_BOOTSTRAP_RETRIES=0",
                 "SSL_CERT_FILE=" + made.caFile});

    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::seconds(5));
    expectFailure(result,
                  "Error during the download process.\n"
                  "See the log on standard error or in the system journal "
                  "(journalctl -t bootstrap-installer).\n",
                  std::string("Download failed! Error - ") + c.logged);
  }
  EXPECT_EQ(server_.requestCount("/agent.zip"), 0);
}

// Answers that come compressed by an intermediary, or whole again with
// another ETag on a retry, still give the agent, and the marker vouches
// for the bytes that were saved. Every request asks caches on the way to
// check with the server, and names the installer.
TEST_F(OddServers, OddButWholeAnswersRunTheirAgent) {
  TestReply compressed;
  compressed.body = gzipped(readFile(makeAgentArchive("compressed")));
  compressed.headers = {{"Content-Encoding", "gzip"}, {"ETag", "\"gz\""}};
  TestReply cut;
  cut.body = readFile(makeAgentArchive("old"));
  cut.headers = {{"ETag", "W/\"x\""}};
  cut.cutAfter = static_cast<int64_t>(cut.body.size() / 2);
  TestReply renewed;
  renewed.body = readFile(makeAgentArchive("renewed"));
  renewed.headers = {{"ETag", "\"x\""}};
  const struct {
    const char* path;
    std::vector<TestReply> replies;  // in turn, the last one from then on
    const char* tag;
    const char* etag;
  } cases[] = {
      {"/compressed", {compressed}, "compressed", "\"gz\""},
      {"/renewed", {cut, renewed}, "renewed", "\"x\""},
  };
  std::string runs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    for (size_t i = 0; i + 1 < c.replies.size(); ++i)
      server_.serveOnce(c.path, c.replies[i]);
    server_.serve(c.path, c.replies.back());
    setUrl(server_.url(c.path));
    ProcessResult result = run({});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    runs += std::string(c.tag) + "\n";
    EXPECT_EQ(agentRuns(), runs);
    EXPECT_EQ(readFile(marker()), c.etag);
    const size_t requests = c.replies.size();
    EXPECT_EQ(server_.requestHeaders(c.path, "Cache-Control"),
              Strings(requests, "no-cache"));
    EXPECT_EQ(server_.requestHeaders(c.path, "User-Agent"),
              Strings(requests, "bootstrap-installer/" BOOTSTRAP_VERSION));
  }
}

}  // namespace
