// Stalled servers and HTTPS: the built executable against a local server.

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;

class TransferLimits : public BundleFixture {
 protected:
  TransferLimits() { makeBundle(Layout::kAppBundle); }

  // Points the bundle at the agent tagged tag, served at /agent.zip.
  void serveAgent(TestHttpServer& server, const std::string& tag) {
    TestReply reply;
    reply.body = readFile(makeAgentArchive(tag));
    reply.headers = {{"ETag", "\"" + tag + "\""}};
    server.serve("/agent.zip", reply);
    setUrl(server.url("/agent.zip"));
  }

  // Exit 255, the log line holding reason, "Installation failed." last, no
  // agent run and no scratch left.
  void expectFailure(const ProcessResult& result, const std::string& reason,
                     const std::string& url) {
    EXPECT_EQ(result.exitCode, 255) << result.err;
    EXPECT_NE(result.err.find("Download failed! Error - " + reason),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find(" " + url + "\n"), std::string::npos)
        << result.err;
    const std::string last = "Installation failed.\n";
    ASSERT_GE(result.err.size(), last.size());
    EXPECT_EQ(result.err.substr(result.err.size() - last.size()), last);
    EXPECT_EQ(agentRuns(), "");
    EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
  }
};

TEST_F(TransferLimits, ServerFallingSilentEndsTheRunSoon) {
  TestHttpServer server;
  TestReply silent;
  silent.generatedSize = 1000;
  silent.chunkDelayMs = 30000;
  server.serve("/agent.zip", silent);
  setUrl(server.url("/agent.zip"));
  auto start = std::chrono::steady_clock::now();
  ProcessResult result = run({}, {"ZR_BOOTSTRAP_STALL_SECONDS=2", "ZR_BOOTSTRAP_RETRIES=0"});

  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  expectFailure(result, "no data received for 2 seconds",
                server.url("/agent.zip"));
}

TEST_F(TransferLimits, HttpsDownloadsOnlyFromATrustedServer) {
  TestCertificates made;
  ASSERT_TRUE(makeTestCertificates(tree_.at("certs"), &made));
  TestHttpServer server(made.certFile, made.keyFile);
  serveAgent(server, "tls");

  expectFailure(run({}), "SSL certificate problem", server.url("/agent.zip"));
  ProcessResult trusted = run({}, {"SSL_CERT_FILE=" + made.caFile});
  EXPECT_EQ(trusted.exitCode, 0) << trusted.err;
  EXPECT_EQ(agentRuns(), "tls\n");
}

}  // namespace
