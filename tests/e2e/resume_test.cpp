// Resuming across runs: a download that a run could not finish is kept in
// the cache, and the next run asks only for the rest.

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;

const int64_t kFillerSize = 32 << 20;
// The server falls silent halfway; the run gives up two seconds later (a
// busy machine under a sanitizer may take over a second to the first byte).
const std::vector<std::string> kCutShort = {"ZR_BOOTSTRAP_STALL_SECONDS=2",
                                            "ZR_BOOTSTRAP_RETRIES=0"};
// The run after it, with the usual patience: a busy machine may be slow.
const std::vector<std::string> kOneRequest = {"ZR_BOOTSTRAP_RETRIES=0"};

class ResumeAcrossRuns : public BundleFixture {
 protected:
  ResumeAcrossRuns() { makeBundle(Layout::kAppBundle); }

  // An agent archive of some 32 MiB that zip cannot shrink.
  std::string bigArchive(const std::string& tag) {
    std::ifstream random("/dev/urandom", std::ios::binary);
    std::string filler(kFillerSize, '\0');
    random.read(&filler[0], kFillerSize);
    EXPECT_TRUE(random) << "cannot read /dev/urandom";
    makeAgentArchive(tag);  // and its install script in src/
    writeFile(tree_.at("src/filler"), filler);
    const std::string archive = tree_.at("big-" + tag + ".zip");
    makeZip(archive, tree_.at("src"), {"install", "filler"});
    return readFile(archive);
  }

  TestReply reply(const std::string& body, const std::string& etag) {
    TestReply r;
    r.body = body;
    r.headers = {{"ETag", etag}};
    r.acceptRanges = true;
    r.conditional = true;
    r.chunkSize = 1 << 20;
    return r;
  }

  // A first run cut short halfway through body at path; the bytes kept.
  int64_t cutShort(const std::string& path, const std::string& body,
                   const std::string& etag) {
    TestReply half = reply(body, etag);
    half.stallAfter = static_cast<int64_t>(body.size() / 2);
    server_.serveOnce(path, half);
    setUrl(server_.url(path));
    ProcessResult result = run({}, kCutShort);
    EXPECT_EQ(result.exitCode, 255) << result.err;
    EXPECT_NE(result.err.find("no data received for 2 seconds"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(agentRuns(), "");
    cutLog_ = result.err;
    return std::max<int64_t>(keptBytes(), 0);
  }

  int64_t keptBytes() {
    struct stat st;
    return stat((cache() + ".partial-download").c_str(), &st) == 0
               ? st.st_size
               : -1;
  }

  TestHttpServer server_;
  std::string cutLog_;  // what the cut run said
};

// The second run goes on from the cut when the server still has the same
// archive there, and fetches it whole otherwise; either way the right agent
// runs and nothing partial is left.
TEST_F(ResumeAcrossRuns, TheNextRunAsksOnlyForTheRestOfTheSameArchive) {
  const std::string v1 = bigArchive("v1"), v2 = bigArchive("v2");
  const struct {
    const char* name;
    const char* path;  // of the second run
    const std::string& body;
    const char* etag;
    bool ranged;     // asked for the rest
    bool resumed;    // and got it
    bool ignoresIfRange;
    const char* line;  // what the second run says of it, if anything
  } cases[] = {
      {"same archive", "/same.zip", v1, "\"v1\"", true, true, false,
       nullptr},
      {"archive changed", "/changed.zip", v2, "\"v2\"", true, false, false,
       "(the archive changed on the server): the download starts over"},
      // Its rest would unzip spliced to the start of the first.
      {"changed, If-Range ignored", "/ignored.zip", v2, "\"v2\"", true, false,
       true, "is not vouched to be the rest of the same archive"},
      {"another URL", "/other.zip", v2, "\"v2\"", false, false, false,
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string first =
        std::string(c.path) == "/other.zip" ? "/first.zip" : c.path;
    const int64_t kept = cutShort(first, v1, "\"v1\"");
    ASSERT_GT(kept, 0) << cutLog_;
    EXPECT_LE(kept, static_cast<int64_t>(v1.size() / 2));

    TestReply second = reply(c.body, c.etag);
    second.ignoreIfRange = c.ignoresIfRange;
    server_.serve(c.path, second);
    setUrl(server_.url(c.path));
    const int64_t sentBefore = server_.bytesSent(c.path);
    ProcessResult result = run({}, kOneRequest);

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(agentRuns(), std::string(c.body == v1 ? "v1" : "v2") + "\n");
    const std::string range = "bytes=" + std::to_string(kept) + "-";
    Strings ranges = server_.requestHeaders(c.path, "Range");
    // Refused, the part is followed at once by a request for the whole.
    if (c.ignoresIfRange) ranges.pop_back();
    EXPECT_EQ(ranges.back(), c.ranged ? range : "");
    if (!c.ignoresIfRange) {
      EXPECT_EQ(server_.bytesSent(c.path) - sentBefore,
                static_cast<int64_t>(c.body.size()) - (c.resumed ? kept : 0));
    }
    if (c.line) {
      EXPECT_NE(result.err.find(c.line), std::string::npos) << result.err;
    }
    // The first run failed, and its log stays.
    EXPECT_EQ(listDir(cache()), kCacheEntriesAfterFailure)
        << "partial download left";
    remove(tree_.at("record.runs").c_str());
  }
}

// A run killed outright has no say in what stays: whatever bytes reached
// the file are the start of the archive its info names, and the next run
// goes on from them.
TEST_F(ResumeAcrossRuns, AKilledRunsBytesAreGoneOnFrom) {
  const std::string v1 = bigArchive("v1");
  TestReply slow = reply(v1, "\"v1\"");
  slow.chunkSize = 64 * 1024;
  slow.chunkDelayMs = 20;
  server_.serveOnce("/agent.zip", slow);
  setUrl(server_.url("/agent.zip"));
  auto killed = start({}, kOneRequest);
  ASSERT_TRUE(waitFor([&] { return keptBytes() >= (1 << 20); }));
  ASSERT_TRUE(killed->sendSignal(SIGKILL));
  EXPECT_EQ(killed->wait(10).signal, SIGKILL);
  const int64_t kept = keptBytes();

  server_.serve("/agent.zip", reply(v1, "\"v1\""));
  ProcessResult result = run({}, kOneRequest);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "v1\n");
  EXPECT_EQ(server_.requestHeaders("/agent.zip", "Range").back(),
            "bytes=" + std::to_string(kept) + "-");
  EXPECT_EQ(listDir(cache()), kCacheEntries);
}

// A cache that others could write is not used for the agent, nor for what
// a cut run received: the next run starts from the beginning.
TEST_F(ResumeAcrossRuns, AnUntrustedCacheKeepsNothing) {
  const std::string v1 = bigArchive("v1");
  makeDirs(cache());
  ASSERT_EQ(chmod(cache().c_str(), 0777), 0);
  EXPECT_EQ(cutShort("/agent.zip", v1, "\"v1\""), 0);
  server_.serve("/agent.zip", reply(v1, "\"v1\""));
  ProcessResult result = run({}, kOneRequest);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(server_.requestHeaders("/agent.zip", "Range"),
            (Strings{"", ""}));
  EXPECT_EQ(listDir(cache()), Strings{"installagent"});
}

}  // namespace
