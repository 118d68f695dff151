// agent-server as a vendor's test server: what it answers, how fast, and
// over TLS to a bundle that trusts its certificate.

#include <gtest/gtest.h>
#include <httplib.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/agent_server_process.h"
#include "e2e/bundle_fixture.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;
using Headers = std::vector<std::pair<std::string, std::string>>;

const int kSize = 100000;

class AgentServer : public BundleFixture {
 protected:
  AgentServer() : content_(TestHttpServer::generatedBody(kSize)) {
    makeDirs(tree_.at("served"));
    writeFile(tree_.at("served/agent.zip"), content_);
  }

  std::unique_ptr<AgentServerProcess> serve(const Strings& args) {
    return std::unique_ptr<AgentServerProcess>(
        new AgentServerProcess(AGENT_SERVER_PATH, args));
  }

  // A request to server; the reply, or null when none came.
  httplib::Result get(const AgentServerProcess& server, const std::string& path,
                      const Headers& headers = {}) {
    httplib::Client client(server.origin());
    client.set_read_timeout(20, 0);
    httplib::Headers sent;
    for (const auto& header : headers) sent.insert(header);
    return client.Get(path.c_str(), sent);
  }

  std::string content_;
};

TEST_F(AgentServer, ServesOneArchiveUnderItsNameWithAStrongETagOfItsBytes) {
  auto server = serve({tree_.at("served/agent.zip")});
  ASSERT_EQ(server->url(), server->origin() + "/agent.zip");

  httplib::Result first = get(*server, "/agent.zip");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 200);
  EXPECT_EQ(first->body, content_);
  const std::string etag = first->get_header_value("ETag");
  ASSERT_GE(etag.size(), 3u);
  EXPECT_EQ(etag.front(), '"') << "weak or malformed: " << etag;
  EXPECT_EQ(etag.back(), '"');

  httplib::Client client(server->origin());
  httplib::Result head = client.Head("/agent.zip");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->get_header_value("ETag"), etag);
  EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(kSize));
  EXPECT_EQ(head->body, "");

  for (const char* other :
       {"/", "/other.zip", "/agent.zip/x", "/../agent.zip"}) {
    httplib::Result missing = get(*server, other);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404) << other;
  }

  // One byte changed, the size kept: a cache of the old bytes must see a
  // new validator.
  std::string changed = content_;
  changed[kSize / 2] ^= 1;
  writeFile(tree_.at("served/agent.zip"), changed);
  httplib::Result second = get(*server, "/agent.zip");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->body, changed);
  EXPECT_NE(second->get_header_value("ETag"), etag);
}

TEST_F(AgentServer, ConditionalAndRangeRequests) {
  auto server = serve({tree_.at("served/agent.zip")});
  httplib::Result plain = get(*server, "/agent.zip");
  ASSERT_TRUE(plain);
  const std::string etag = plain->get_header_value("ETag");
  const std::string size = std::to_string(kSize);
  const struct {
    const char* name;
    Headers headers;
    int status;
    std::string body;
    std::string contentRange;
  } cases[] = {
      {"current tag", {{"If-None-Match", etag}}, 304, "", ""},
      {"weak form of it", {{"If-None-Match", "W/" + etag}}, 304, "", ""},
      {"in a list", {{"If-None-Match", "\"a,b\", " + etag}}, 304, "", ""},
      {"any", {{"If-None-Match", "*"}}, 304, "", ""},
      {"other tag", {{"If-None-Match", "\"other\""}}, 200, content_, ""},
      {"first bytes",
       {{"Range", "bytes=0-9"}},
       206,
       content_.substr(0, 10),
       "bytes 0-9/" + size},
      {"suffix",
       {{"Range", "bytes=-10"}},
       206,
       content_.substr(kSize - 10),
       "bytes " + std::to_string(kSize - 10) + "-" + std::to_string(kSize - 1) +
           "/" + size},
      {"past the end",
       {{"Range", "bytes=" + std::to_string(kSize - 5) + "-" +
                      std::to_string(kSize + 100)}},
       206,
       content_.substr(kSize - 5),
       "bytes " + std::to_string(kSize - 5) + "-" + std::to_string(kSize - 1) +
           "/" + size},
      {"wholly beyond",
       {{"Range", "bytes=" + size + "-"}},
       416,
       "",
       "bytes */" + size},
      {"If-Range current",
       {{"Range", "bytes=0-9"}, {"If-Range", etag}},
       206,
       content_.substr(0, 10),
       "bytes 0-9/" + size},
      {"If-Range stale",
       {{"Range", "bytes=0-9"}, {"If-Range", "\"old\""}},
       200,
       content_,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    httplib::Result reply = get(*server, "/agent.zip", c.headers);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, c.status);
    EXPECT_TRUE(reply->body == c.body) << reply->body.size() << " bytes";
    EXPECT_EQ(reply->get_header_value("Content-Range"), c.contentRange);
    EXPECT_EQ(reply->get_header_value("ETag"), etag);
  }
}

TEST_F(AgentServer, DirectoryServesEachFileUnderItsNameAndNothingElse) {
  writeFile(tree_.at("served/second agent.zip"), "second");
  makeDirs(tree_.at("served/sub"));
  writeFile(tree_.at("served/sub/inner.zip"), "inner");
  writeFile(tree_.at("secret"), "outside");
  auto server = serve({tree_.at("served")});
  EXPECT_EQ(server->url(), server->origin() + "/");

  const std::pair<const char*, int> cases[] = {{"/agent.zip", 200},
                                               {"/second%20agent.zip", 200},
                                               {"/sub", 404},
                                               {"/sub/inner.zip", 404},
                                               {"/..%2Fsecret", 404},
                                               {"/%2E%2E/secret", 404},
                                               {"/", 404}};
  for (const auto& c : cases) {
    httplib::Result reply = get(*server, c.first);
    ASSERT_TRUE(reply) << c.first;
    EXPECT_EQ(reply->status, c.second) << c.first;
  }
  EXPECT_EQ(get(*server, "/second%20agent.zip")->body, "second");
}

// Beside a single archive, its signature alone, and only when it exists.
TEST_F(AgentServer, ServesAnArchivesSignatureBesideIt) {
  const std::string signature =
      "untrusted comment: signature from minisign secret key\n";
  writeFile(tree_.at("served/agent.zip.minisig"), signature);
  writeFile(tree_.at("served/other.zip.minisig"), "another archive's");
  makeDirs(tree_.at("unsigned"));
  writeFile(tree_.at("unsigned/agent.zip"), content_);
  const std::string signedArchive = tree_.at("served/agent.zip");
  const struct {
    const char* name;
    std::string path;
    const char* request;
    int status;
    std::string body;  // body and type: checked when found
    const char* type;
  } cases[] = {
      {"signed archive", signedArchive, "/agent.zip.minisig", 200, signature,
       "text/plain"},
      {"another archive's", signedArchive, "/other.zip.minisig", 404, "", ""},
      {"signature's signature", signedArchive, "/agent.zip.minisig.minisig",
       404, "", ""},
      {"unsigned archive", tree_.at("unsigned/agent.zip"), "/agent.zip.minisig",
       404, "", ""},
      {"directory", tree_.at("served"), "/agent.zip.minisig", 200, signature,
       "text/plain"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto server = serve({c.path});
    httplib::Result reply = get(*server, c.request);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, c.status);
    if (c.status != 200) continue;
    EXPECT_EQ(reply->body, c.body);
    EXPECT_EQ(reply->get_header_value("Content-Type"), c.type);
  }
}

TEST_F(AgentServer, RateSlowsTheBodyToThatPace) {
  auto server = serve({"--rate", "40000", tree_.at("served/agent.zip")});
  double start = now();
  httplib::Result reply = get(*server, "/agent.zip");
  double seconds = now() - start;
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body, content_);
  EXPECT_GE(seconds, 2.2);  // 100000 bytes at 40000 a second: 2.5 s
  EXPECT_LT(seconds, 10);
}

TEST_F(AgentServer, HttpsServesABundleThatTrustsItsCertificate) {
  TestCertificates certs;
  ASSERT_TRUE(makeTestCertificates(tree_.at("certs"), &certs));
  auto server = serve({"--cert", certs.certFile, "--key", certs.keyFile,
                       makeAgentArchive("tls")});
  ASSERT_EQ(server->url().compare(0, 8, "https://"), 0) << server->url();
  makeBundle(Layout::kAppBundle);
  setUrl(server->url());

  ProcessResult untrusted = run({});
  EXPECT_EQ(untrusted.exitCode, 255) << untrusted.err;
  ProcessResult result = run({}, {"CURL_CA_BUNDLE=" + certs.caFile});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "tls\n");
}

TEST_F(AgentServer, BadCommandLinesAreRefused) {
  const std::string archive = tree_.at("served/agent.zip");
  auto other = serve({archive});
  const std::string taken =
      other->origin().substr(other->origin().rfind(':') + 1);
  const struct {
    Strings args;
    int status;
    std::string message;
  } cases[] = {
      {{}, 2, "no PATH to serve"},
      {{"--port", "0", archive}, 2, "--port takes a port number"},
      {{"--rate", "fast", archive}, 2, "--rate takes a positive number"},
      {{"--cert", archive, archive}, 2, "--cert and --key go together"},
      {{archive, archive}, 2, "one PATH only"},
      {{tree_.at("missing.zip")}, 1, "cannot find"},
      {{"--cert", archive, "--key", archive, archive}, 1, "cannot use"},
      // Refused, not shared with the server that has it.
      {{"--port", taken, archive},
       1,
       "cannot listen on 127.0.0.1:" + taken + ": Address already in use\n"},
      // A value may also follow its option after '=', as for make-bundle.
      {{"--port=0", archive}, 2, "--port takes a port number"},
      {{"--rate=", archive}, 2, "--rate needs a value"},
      {{"--help=yes", archive}, 2, "--help is no option that takes a value"},
      {{"--cert=" + archive, "--key=" + archive, archive}, 1, "cannot use"},
      {{"--port=" + taken, archive},
       1,
       "cannot listen on 127.0.0.1:" + taken + ": Address already in use\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Strings argv = {AGENT_SERVER_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ProcessResult result = runProcess(argv, {"PATH=/usr/bin:/bin"}, "", 10);
    EXPECT_EQ(result.exitCode, c.status) << result.err;
    EXPECT_EQ(result.err.find("agent-server: " + c.message), 0u) << result.err;
    EXPECT_EQ(result.out, "");
  }
}

}  // namespace
