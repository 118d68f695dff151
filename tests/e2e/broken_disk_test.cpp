// Disks that fail the run: a cache path blocked by a file, and a disk that
// fills up while downloading or unpacking (a file size limit stands in for
// a full disk: writes past it fail, as they would with no space left).

#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;

// In 512-byte blocks: 1 MiB.
const char kSizeLimit[] = "2048";
const int64_t kOverTheLimit = 2 << 20;

class BrokenDisk : public BundleFixture {
 protected:
  BrokenDisk() { makeBundle(Layout::kAppBundle); }

  void serve(const std::string& body, const std::string& etag) {
    TestReply reply;
    reply.body = body;
    reply.headers = {{"ETag", etag}};
    server_.serve("/agent.zip", reply);
    setUrl(server_.url("/agent.zip"));
  }
  // An agent archive that unpacks to more than the limit, though small.
  std::string bulkyAgentArchive() {
    makeDirs(tree_.at("bulky"));
    writeFile(tree_.at("bulky/install"), "exit 0\n");
    writeFile(tree_.at("bulky/data"), std::string(kOverTheLimit, '\0'));
    makeZip(tree_.at("bulky.zip"), tree_.at("bulky"), {"install", "data"});
    return readFile(tree_.at("bulky.zip"));
  }

  // The bundle run with every file it writes limited in size; the limit
  // passes to unzip and the agent too.
  ProcessResult runOnAFullDisk() {
    return runProcess({"/bin/sh", "-c",
                       std::string("ulimit -f ") + kSizeLimit +
                           "; trap '' XFSZ; exec \"$0\"",
                       exe_},
                      environment({"ZR_BOOTSTRAP_UI=console"}), cwd_, 30);
  }

  // Exit 255 with message before "Installation failed.", nothing run, no
  // scratch left, and the cache with the agent and marker of a good run.
  void expectFailureKeepingTheCache(const ProcessResult& result,
                                    const std::string& message) {
    EXPECT_EQ(result.exitCode, 255) << result.err;
    EXPECT_NE(result.err.find(message + "\nInstallation failed.\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(agentRuns(), "good\n");
    EXPECT_EQ(readFile(cache() + ".validatestring"), "\"good\"");
    EXPECT_EQ(listDir(cache()), kCacheEntriesAfterFailure);
    EXPECT_EQ(listDir(cache() + "installagent"), Strings{"install"});
    EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
  }

  TestHttpServer server_;
};

TEST_F(BrokenDisk, DiskFullWhileDownloadingOrUnpacking) {
  const struct {
    const char* name;
    std::string body;
    const char* message;
  } cases[] = {
      {"downloading", TestHttpServer::generatedBody(kOverTheLimit),
       "Cannot save the download: File too large"},
      {"unpacking", bulkyAgentArchive(), "Failed to unzip the installer."},
  };
  serve(readFile(makeAgentArchive("good")), "\"good\"");
  ASSERT_EQ(run({}).exitCode, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    serve(c.body, "\"new\"");
    expectFailureKeepingTheCache(runOnAFullDisk(), c.message);
  }
}

TEST_F(BrokenDisk, DiskFullWhileUnpackingAShippedAgent) {
  writeFile(resources_ + "/InstallAgent.zip", bulkyAgentArchive());
  ProcessResult result = runOnAFullDisk();

  EXPECT_EQ(result.exitCode, 255) << result.err;
  EXPECT_NE(result.err.find("Failed to unzip the install agent"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
}

// A file where the cache should be is left alone: the agent goes into the
// run's scratch directory and runs from there.
TEST_F(BrokenDisk, ACachePathBlockedByAFileIsLeftAlone) {
  serve(readFile(makeAgentArchive("fresh")), "\"v1\"");
  writeFile(home_ + "/.tarvik", "not a directory");
  ASSERT_EQ(chmod((home_ + "/.tarvik").c_str(), 0600), 0);
  ProcessResult result = run({});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "fresh\n");
  ASSERT_FALSE(agentCall().empty());
  EXPECT_EQ(agentCall()[0].rfind(tmpdir_ + "/", 0), 0u) << agentCall()[0];
  EXPECT_NE(result.err.find("Not using the agent cache: " + home_ +
                            "/.tarvik is not a directory"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(readFile(home_ + "/.tarvik"), "not a directory");
  EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
}

}  // namespace
