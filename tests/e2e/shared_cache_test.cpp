// Runs that share one cache: an agent running from it keeps its files
// whatever other runs do, and what a killed run left is cleared later.

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "platform/remove_tree.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;

// A zombie counts as gone: nothing reaps it where no init runs.
bool isRunning(pid_t pid) {
  if (kill(pid, 0) != 0) return false;
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(file)),
                   std::istreambuf_iterator<char>());
  size_t close = stat.rfind(')');
  return close == std::string::npos || stat.compare(close, 3, ") Z") != 0;
}

// An agent that records its run, waits until the test says go (at most
// 20 s), and then needs the file it was shipped with beside itself.
const char kPatientAgent[] =
    "echo \"$TAG\" >> \"$AGENT_RECORD.runs\"\n"
    "for i in $(seq 200); do [ -e \"$AGENT_GO\" ] && break; sleep 0.1; done\n"
    "[ \"$(cat \"$(dirname \"$0\")/own\")\" = \"$TAG\" ] || exit 9\n";

class SharedCache : public BundleFixture {
 protected:
  SharedCache() { makeBundle(Layout::kAppBundle); }

  // Serves at path the agent tagged tag, with the ETag "tag".
  void serveAgent(const std::string& path, const std::string& tag) {
    const std::string dir = tree_.at("agent-" + tag);
    makeDirs(dir);
    writeFile(dir + "/install", "TAG=" + tag + "\n" + kPatientAgent);
    writeFile(dir + "/own", tag);
    makeZip(dir + ".zip", dir, {"install", "own"});
    TestReply reply;
    reply.body = readFile(dir + ".zip");
    reply.headers = {{"ETag", "\"" + tag + "\""}};
    server_.serve(path, reply);
  }
  std::vector<std::string> urlEnv(const std::string& path) {
    return {"ZR_INTERNAL_INSTALL_AGENT_URL=" + server_.url(path),
            "ZR_BOOTSTRAP_UI=console", "AGENT_GO=" + tree_.at("go")};
  }

  TestHttpServer server_;
};

// Run A runs the cached agent "one" until told to go on; meanwhile run B
// fetches "two", from another bundle's URL or after the archive changed
// on the server. B must not take A's agent away: it runs its own from its
// scratch directory and leaves the cache to a later run.
TEST_F(SharedCache, ARunningAgentKeepsItsFiles) {
  const std::pair<const char*, const char*> cases[] = {
      {"another bundle", "/two.zip"},
      {"an update of the same URL", "/one.zip"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    remove(tree_.at("record.runs").c_str());
    serveAgent("/one.zip", "one");
    writeFile(tree_.at("go"), "");
    ASSERT_EQ(run({}, urlEnv("/one.zip")).exitCode, 0);
    remove(tree_.at("go").c_str());
    auto a = start({}, urlEnv("/one.zip"));
    ASSERT_TRUE(waitFor([&] { return agentRuns() == "one\none\n"; }));
    serveAgent(c.second, "two");
    auto b = start({}, urlEnv(c.second));
    ASSERT_TRUE(waitFor([&] { return agentRuns() == "one\none\ntwo\n"; }));
    writeFile(tree_.at("go"), "");
    ProcessResult resultA = a->wait(20), resultB = b->wait(20);

    EXPECT_EQ(resultA.exitCode, 0) << resultA.err << "an agent lost its files";
    EXPECT_EQ(resultB.exitCode, 0) << resultB.err;
    EXPECT_NE(resultB.err.find("The cached agent is running in another run"),
              std::string::npos)
        << resultB.err;
    EXPECT_EQ(readFile(cache() + ".validatestring"), "\"one\"");
    EXPECT_EQ(readFile(cache() + "installagent/own"), "one");
    EXPECT_EQ(listDir(cache()), kCacheEntries) << "leftovers";
    EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";

    // Once A is done, the next run brings the cache up to date.
    ASSERT_EQ(run({}, urlEnv(c.second)).exitCode, 0);
    EXPECT_EQ(readFile(cache() + ".validatestring"), "\"two\"");
    EXPECT_EQ(readFile(cache() + "installagent/own"), "two");
    EXPECT_EQ(listDir(cache()), kCacheEntries) << "leftovers";
    removeTree(home_ + "/.tarvik");
  }
}

// An unzip that leaves a partial agent, records its pid, and takes its
// time: the run is killed with SIGKILL while it unpacks.
const char kSlowUnzip[] =
    "mkdir -p \"$5\" && head -c 100000 /dev/zero > \"$5/partial\"\n"
    "echo $$ > \"$AGENT_RECORD.unzip\"\n"
    "exec sleep 30\n";

TEST_F(SharedCache, AKilledRunLeavesNoUnzipAndItsLeftoversGoNextTime) {
  serveAgent("/one.zip", "one");
  writeFile(tree_.at("go"), "");
  std::vector<std::string> env = urlEnv("/one.zip");
  env.push_back(unzipFirstOnPath(kSlowUnzip));
  auto killed = start({}, env);
  const std::string pidFile = tree_.at("record.unzip");
  ASSERT_TRUE(waitFor([&] { return pathExists(pidFile) &&
                                   !readFile(pidFile).empty(); }));
  const pid_t unzip = std::stoi(readFile(pidFile));
  ASSERT_TRUE(killed->sendSignal(SIGKILL));
  killed->wait(10);

  EXPECT_TRUE(waitFor([&] { return !isRunning(unzip); }))
      << "unzip outlived the run";
  Strings left = listDir(cache());
  ASSERT_FALSE(left.empty());
  EXPECT_EQ(left[0].rfind(".installagent-new-", 0), 0u) << left[0];
  ASSERT_EQ(listDir(tmpdir_).size(), 1u) << "no scratch directory left";

  ProcessResult next = run({}, urlEnv("/one.zip"));
  EXPECT_EQ(next.exitCode, 0) << next.err;
  EXPECT_EQ(agentRuns(), "one\n");
  EXPECT_EQ(readFile(cache() + "installagent/own"), "one");
  EXPECT_EQ(listDir(cache()), kCacheEntries) << "leftovers";
  EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
}

}  // namespace
