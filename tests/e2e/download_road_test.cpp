// The download road: bundles that ship no agent archive fetch it from a
// local server into the per-user cache under the test's HOME.

#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;

// Failures that pass on retry are watched at their first answer here.
const char kNoRetries[] = "ZR_BOOTSTRAP_RETRIES=0";

TestReply archiveReply(const std::string& body, const std::string& etag) {
  TestReply reply;
  reply.body = body;
  if (!etag.empty()) reply.headers = {{"ETag", etag}};
  return reply;
}

class DownloadRoad : public BundleFixture {
 protected:
  DownloadRoad() { makeBundle(Layout::kAppBundle); }

  std::string marker() const { return cache() + ".validatestring"; }
  std::string cachedAgent() const { return cache() + "installagent/install"; }

  // Serves the agent tagged tag at /agent.zip with etag, and points the
  // bundle there.
  void serveAgent(const std::string& tag, const std::string& etag) {
    server_.serve("/agent.zip",
                  archiveReply(readFile(makeAgentArchive(tag)), etag));
    setUrl(server_.url("/agent.zip"));
  }

  // Exit 255 with "Installation failed." last and the agent not run.
  void expectFailure(const ProcessResult& result, const std::string& runs) {
    EXPECT_EQ(result.exitCode, 255) << result.err << "signal " << result.signal;
    const std::string last = "Installation failed.\n";
    ASSERT_GE(result.err.size(), last.size());
    EXPECT_EQ(result.err.substr(result.err.size() - last.size()), last);
    EXPECT_EQ(agentRuns(), runs);
    EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
  }

  TestHttpServer server_;
};

TEST_F(DownloadRoad, FreshDownloadRunsTheCachedAgentOnceAndStampsTheETag) {
  const std::pair<const char*, const char*> cases[] = {
      {"strong", "\"strong-1\""}, {"weak", "W/\"weak 2\""}};
  std::string runs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    serveAgent(c.first, c.second);
    ProcessResult result = run({"x y", "", "$(touch canary)"});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    runs += std::string(c.first) + "\n";
    EXPECT_EQ(agentRuns(), runs);
    EXPECT_EQ(agentCall(), (Strings{cachedAgent(), "-installbundle",
                                    resources_ + "/bundle.zip", "x y", "",
                                    "$(touch canary)"}));
    EXPECT_EQ(readFile(marker()), c.second);
    EXPECT_EQ(listDir(cwd_), Strings{});
    EXPECT_EQ(listDir(tmpdir_), Strings{});
  }
  for (std::string dir = home_ + "/.tarvik"; dir.size() < cache().size();
       dir = cache().substr(0, cache().find('/', dir.size() + 1))) {
    struct stat st;
    ASSERT_EQ(stat(dir.c_str(), &st), 0) << dir;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
  }
}

TEST_F(DownloadRoad, CurrentCacheIsReusedAndTheTransferAbandoned) {
  serveAgent("cached", "\"v1\"");
  ASSERT_EQ(run({}).exitCode, 0);
  const int64_t size = 32 << 20;
  TestReply big;
  big.generatedSize = size;
  big.headers = {{"ETag", "\"v1\""}};
  server_.serve("/agent.zip", big);
  ProcessResult result = run({}, {"AGENT_EXIT=0"});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "cached\ncached\n");
  EXPECT_LT(server_.bytesSent("/agent.zip"), size / 4);
  EXPECT_EQ(readFile(marker()), "\"v1\"");
}

// A server that honours If-None-Match confirms the cached agent in a few
// bytes instead of starting to send the archive.
TEST_F(DownloadRoad, CurrentCacheIsConfirmedWithoutABody) {
  serveAgent("cached", "\"v1\"");
  ASSERT_EQ(run({}).exitCode, 0);
  TestReply conditional = archiveReply(readFile(makeAgentArchive("new")),
                                       "\"v1\"");
  conditional.conditional = true;
  server_.serve("/agent.zip", conditional);
  const int64_t sentBefore = server_.bytesSent("/agent.zip");
  ProcessResult result = run({});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "cached\ncached\n");
  EXPECT_EQ(server_.requestHeaders("/agent.zip", "If-None-Match"),
            (Strings{"", "\"v1\""}));
  EXPECT_EQ(server_.bytesSent("/agent.zip"), sentBefore);
  EXPECT_EQ(readFile(marker()), "\"v1\"");
}

TEST_F(DownloadRoad, StaleCacheIsReplaced) {
  serveAgent("one", "\"v1\"");
  ASSERT_EQ(run({}).exitCode, 0);
  serveAgent("two", "\"v2\"");
  ProcessResult result = run({});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "one\ntwo\n");
  EXPECT_EQ(readFile(marker()), "\"v2\"");
  EXPECT_EQ(listDir(cache()), kCacheEntries);
}

// Two products at two URLs whose servers gave their archives equal ETags
// (time and size alike): each bundle runs its own agent.
TEST_F(DownloadRoad, AnEqualETagOfAnotherUrlVouchesForNothing) {
  for (const char* tag : {"one", "two"}) {
    TestReply reply = archiveReply(readFile(makeAgentArchive(tag)), "\"same\"");
    reply.conditional = true;
    server_.serve(std::string("/") + tag + ".zip", reply);
  }
  const std::pair<const char*, const char*> runs[] = {
      {"/one.zip", "one\n"},
      {"/two.zip", "one\ntwo\n"},
      {"/two.zip", "one\ntwo\ntwo\n"},
      {"/one.zip", "one\ntwo\ntwo\none\n"}};
  for (const auto& r : runs) {
    SCOPED_TRACE(r.first);
    setUrl(server_.url(r.first));
    ProcessResult result = run({});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(agentRuns(), r.second);
    EXPECT_EQ(readFile(cache() + ".sourceurl"), server_.url(r.first));
  }
  EXPECT_EQ(server_.requestHeaders("/two.zip", "If-None-Match"),
            (Strings{"", "\"same\""}));
}

// An older install left the marker writable by others, inside directories
// only the user can enter: it is repaired, and the cache serves again.
TEST_F(DownloadRoad, AMarkerOthersCouldWriteIsRepairedAndReused) {
  TestReply reply = archiveReply(readFile(makeAgentArchive("cached")), "\"v1\"");
  reply.conditional = true;
  server_.serve("/agent.zip", reply);
  setUrl(server_.url("/agent.zip"));
  ASSERT_EQ(run({}).exitCode, 0);
  ASSERT_EQ(chmod(marker().c_str(), 0664), 0);
  ProcessResult result = run({});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "cached\ncached\n");
  EXPECT_EQ(agentCall().at(0), cachedAgent());
  EXPECT_NE(result.err.find("Repaired " + marker()), std::string::npos)
      << result.err;
  struct stat st;
  ASSERT_EQ(stat(marker().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(server_.requestHeaders("/agent.zip", "If-None-Match"),
            (Strings{"", "\"v1\""}));
}

struct FailedFetch {
  const char* name;
  TestReply reply;
};

// A cache filled by a good run stays as it was after each failed fetch.
TEST_F(DownloadRoad, FailedFetchesLeaveTheCacheAsItWas) {
  TestReply truncated;
  truncated.generatedSize = 100000;
  truncated.cutAfter = 4000;
  const FailedFetch cases[] = {
      {"400", {400, {{"ETag", "\"bad\""}}, "error page"}},
      {"401", {401, {}, "who are you"}},
      {"404", {404, {}, ""}},
      {"500", {500, {{"ETag", "\"bad\""}}, "oops"}},
      {"truncated", truncated},
      {"corrupt", archiveReply("not a zip archive", "\"bad\"")},
  };
  serveAgent("good", "\"v1\"");
  ASSERT_EQ(run({}).exitCode, 0);
  for (const FailedFetch& c : cases) {
    SCOPED_TRACE(c.name);
    server_.serve("/agent.zip", c.reply);
    expectFailure(run({}, {kNoRetries}), "good\n");
    EXPECT_EQ(readFile(marker()), "\"v1\"");
    EXPECT_EQ(listDir(cache()), kCacheEntriesAfterFailure);
    EXPECT_EQ(listDir(cache() + "installagent"), Strings{"install"});
  }
}

TEST_F(DownloadRoad, TransportAndUrlFailuresEndTheRun) {
  const std::string refused =
      "http://127.0.0.1:" + std::to_string(refusedPort()) + "/agent.zip";
  const std::pair<const char*, std::string> cases[] = {
      {"refused", refused},
      {"malformed", "not a url"},
      {"not http", "file:///etc/passwd"},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    setUrl(c.second);
    ProcessResult result = run({}, {kNoRetries});
    expectFailure(result, "");
    EXPECT_NE(result.err.find("Error during the download process."),
              std::string::npos);
  }
  remove((resources_ + "/installAgentURL.txt").c_str());
  expectFailure(run({}), "");
}

TEST_F(DownloadRoad, OverrideVariableReplacesTheUrlEvenWhenEmpty) {
  server_.serve("/agent.zip", archiveReply(readFile(makeAgentArchive("o")), "e"));
  setUrl("http://127.0.0.1:" + std::to_string(refusedPort()) + "/nothing");
  ProcessResult result =
      run({}, {"ZR_INTERNAL_INSTALL_AGENT_URL=" + server_.url("/agent.zip")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "o\n");

  setUrl(server_.url("/agent.zip"));
  expectFailure(run({}, {"ZR_INTERNAL_INSTALL_AGENT_URL="}), "o\n");
}

TEST_F(DownloadRoad, WithoutLengthOrETagTheAgentStillRunsButIsNotVouchedFor) {
  serveAgent("first", "\"v1\"");
  ASSERT_EQ(run({}).exitCode, 0);
  TestReply reply = archiveReply(readFile(makeAgentArchive("plain")), "");
  reply.contentLength = false;
  server_.serve("/agent.zip", reply);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(run({}).exitCode, 0);

  EXPECT_EQ(agentRuns(), "first\nplain\nplain\n");
  EXPECT_FALSE(pathExists(marker()));
  EXPECT_EQ(server_.bytesSent("/agent.zip"),
            static_cast<int64_t>(readFile(makeAgentArchive("first")).size() +
                                 2 * reply.body.size()))
      << "an unvouched cache was reused";
}

TEST_F(DownloadRoad, FailingAgentRunsOnceAndTheRunFails) {
  serveAgent("fails", "\"v1\"");
  ProcessResult result = run({}, {"AGENT_EXIT=3"});
  expectFailure(result, "fails\n");
  EXPECT_EQ(result.err,
            "Downloading\nInitializing the installer\n"
            "Application install was not successful.\nInstallation failed.\n");
}

// Someone else who can write the cache plants an agent and a marker that
// match the server; the run must fetch its own agent into its scratch
// directory instead, and leave the planted one alone.
TEST_F(DownloadRoad, ACacheOthersCanWriteIsNeitherReusedNorWritten) {
  const std::pair<const char*, std::string> cases[] = {
      {"owned by another user", "chown -R 65534:65534"},
      {"writable by everyone", "chmod -R 0777"},
  };
  std::string runs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    serveAgent("fetched", "\"v1\"");
    makeDirs(cache() + "installagent");
    writeFile(cachedAgent(), "echo planted >> \"$AGENT_RECORD.runs\"\n");
    writeFile(marker(), "\"v1\"");
    ASSERT_EQ(system((c.second + " '" + home_ + "/.tarvik'").c_str()), 0);
    ProcessResult result = run({});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    runs += "fetched\n";
    EXPECT_EQ(agentRuns(), runs) << "the planted agent ran";
    EXPECT_EQ(agentCall().at(0).rfind(tmpdir_ + "/zr", 0), 0u)
        << agentCall().at(0);
    EXPECT_NE(result.err.find("Not using the agent cache"), std::string::npos)
        << result.err;
    EXPECT_EQ(readFile(cachedAgent()), "echo planted >> \"$AGENT_RECORD.runs\"\n");
    EXPECT_EQ(readFile(marker()), "\"v1\"");
    EXPECT_EQ(listDir(tmpdir_), Strings{});
    ASSERT_EQ(system(("rm -rf '" + home_ + "/.tarvik'").c_str()), 0);
  }
}

}  // namespace

// Failures that may pass are retried while the window goes on showing the
// download: the first answer cut short (resumed where it stopped) or
// refused for now; the agent then runs once from a complete archive.
TEST_F(DownloadRoad, AnAnswerCutShortOrRefusedForNowIsRetried) {
  const std::string archive = readFile(makeAgentArchive("retried"));
  const std::string half = std::to_string(archive.size() / 2);
  const struct {
    const char* name;
    int status;       // of the first answer
    int64_t cutAfter;  // of the first answer
    Strings ranges;
  } cases[] = {
      {"cut", 200, static_cast<int64_t>(archive.size() / 2),
       {"", "bytes=" + half + "-"}},
      {"busy", 503, -1, {"", ""}},
  };
  std::string runs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string etag = std::string("\"") + c.name + "\"";
    TestReply whole = archiveReply(archive, etag);
    whole.acceptRanges = true;
    TestReply first = whole;
    first.status = c.status;
    first.cutAfter = c.cutAfter;
    first.headers.push_back({"Retry-After", "0"});
    TestHttpServer server;
    server.serveOnce("/agent.zip", first);
    server.serve("/agent.zip", whole);
    setUrl(server.url("/agent.zip"));
    ProcessResult result = run({});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(server.requestHeaders("/agent.zip", "Range"), c.ranges);
    runs += "retried\n";
    EXPECT_EQ(agentRuns(), runs);
    EXPECT_EQ(readFile(marker()), etag);
    EXPECT_NE(result.err.find("; retry 1 in "), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("failed"), std::string::npos) << result.err;
  }
}

TEST_F(DownloadRoad, OnlyTheLastOfTheRetriedFailuresIsShown) {
  TestReply busy;
  busy.status = 500;
  busy.headers = {{"Retry-After", "0"}};
  server_.serve("/agent.zip", busy);
  setUrl(server_.url("/agent.zip"));
  ProcessResult result = run({});

  expectFailure(result, "");
  EXPECT_EQ(server_.requestCount("/agent.zip"), 4);
  const std::string shown = "Download failed with error code 500";
  size_t first = result.err.find(shown);
  EXPECT_NE(first, std::string::npos) << result.err;
  EXPECT_EQ(result.err.find(shown, first + 1), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("; retry 3 in 0.0 s"), std::string::npos)
      << result.err;
}

// Two runs at once on a fresh cache (a double click) both succeed, and the
// second leaves the agent that the first put in place, and is running,
// alone; a third run then reuses it.
TEST_F(DownloadRoad, ConcurrentRunsShareOneConsistentCache) {
  TestReply slow = archiveReply(readFile(makeAgentArchive("shared")), "\"v1\"");
  slow.chunkSize = 64;
  slow.chunkDelayMs = 40;
  server_.serve("/agent.zip", slow);
  setUrl(server_.url("/agent.zip"));
  auto first = start({}, {"AGENT_SLEEP=2"});
  auto second = start({}, {"AGENT_SLEEP=2"});
  ProcessResult one = first->wait(30), two = second->wait(30);

  EXPECT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(two.exitCode, 0) << two.err;
  EXPECT_EQ(agentRuns(), "shared\nshared\n");
  EXPECT_EQ(readFile(marker()), "\"v1\"");
  EXPECT_EQ(listDir(cache()), kCacheEntries);
  EXPECT_EQ(server_.requestCount("/agent.zip"), 2);

  struct stat before, after;
  ASSERT_EQ(stat(cachedAgent().c_str(), &before), 0);
  EXPECT_EQ(run({}).exitCode, 0);
  ASSERT_EQ(stat(cachedAgent().c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the cached agent was replaced";
  EXPECT_EQ(agentRuns(), "shared\nshared\nshared\n");
  EXPECT_EQ(listDir(tmpdir_), Strings{});
}
