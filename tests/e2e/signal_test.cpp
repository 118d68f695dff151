// Signals during the download and during the agent's run: the run stops
// promptly, the agent hears of it, and nothing is left behind.

#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "support/terminal_process.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;


struct Stop {
  const char* name;
  int signal;
};
const Stop kStops[] = {{"INT", SIGINT}, {"TERM", SIGTERM}, {"HUP", SIGHUP}};

class SignalTest : public BundleFixture {
 protected:
  SignalTest() { makeBundle(Layout::kAppBundle); }

  // Exit 255 with "Installation failed." last and no scratch left.
  void expectFailure(const ProcessResult& result) {
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 255) << result.err << "signal " << result.signal;
    const std::string last = "Installation failed.\n";
    ASSERT_GE(result.err.size(), last.size()) << result.err;
    EXPECT_EQ(result.err.substr(result.err.size() - last.size()), last);
    EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
  }

  // Sends sig; the run must end within 2 s of it.
  ProcessResult stopPromptly(BackgroundProcess& process, int sig) {
    double signalled = now();
    EXPECT_TRUE(process.sendSignal(sig));
    ProcessResult result = process.wait(10);
    EXPECT_LT(now() - signalled, 2.0);
    return result;
  }

  TestReply archiveReply(const std::string& body) {
    TestReply reply;
    reply.body = body;
    return reply;
  }

  TestHttpServer server_;
};

TEST_F(SignalTest, SignalMidDownloadCancelsAndCleansUpPromptly) {
  TestReply slow;
  slow.generatedSize = 64 << 20;
  slow.chunkSize = 4096;
  slow.chunkDelayMs = 50;
  slow.headers = {{"ETag", "\"slow\""}};
  slow.acceptRanges = true;  // each run goes on where the last stopped
  server_.serve("/agent.zip", slow);
  setUrl(server_.url("/agent.zip"));
  const std::string kept = cache() + ".partial-download";
  auto keptBytes = [&] {
    struct stat st;
    return stat(kept.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size)
                                        : int64_t{0};
  };
  for (const Stop& stop : kStops) {
    SCOPED_TRACE(stop.name);
    const int64_t keptBefore = keptBytes();
    auto process = start({}, {"ZR_BOOTSTRAP_UI=console"});
    // Until some of the body is in the file: the run has it then.
    ASSERT_TRUE(waitFor([&] { return keptBytes() > keptBefore; }))
        << "the transfer never started";
    ProcessResult result = stopPromptly(*process, stop.signal);
    expectFailure(result);
    // Said before "Installation failed.", which comes last.
    EXPECT_NE(result.err.find(std::string(" Download cancelled by signal SIG") +
                              stop.name + "\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(agentRuns(), "");
    EXPECT_FALSE(pathExists(cache() + ".validatestring"));
    // A signal is no "no" from the user: what came is kept for later.
    EXPECT_EQ(listDir(cache()),
              (Strings{".lock", ".partial-download", ".partial-download.info",
                       ".partial-download.lock", "installagent"}))
        << "staging left";
    EXPECT_EQ(listDir(cache() + "installagent"), Strings{});
  }
}

TEST_F(SignalTest, AgentGetsTheSignalAndTheRunWaitsForIt) {
  addAgentArchive("InstallAgent.zip", "trapping");
  for (const Stop& stop : kStops) {
    SCOPED_TRACE(stop.name);
    remove(tree_.at("record.signals").c_str());
    std::string runsBefore = agentRuns();
    auto process = start({}, {"AGENT_TRAP=0.3", "AGENT_SLEEP=30"});
    ASSERT_TRUE(waitFor([&] { return agentRuns() != runsBefore; }))
        << "the agent never started";
    ASSERT_TRUE(process->sendSignal(stop.signal));
    ProcessResult result = process->wait(10);
    // "exiting" is written just before the agent's exit: the run waited.
    EXPECT_EQ(agentSignals(), std::string(stop.name) + "\nexiting\n");
    expectFailure(result);
    EXPECT_NE(result.err.find("Application install was not successful.\n"),
              std::string::npos)
        << result.err;
  }
}

// Ctrl-C in a terminal reaches the whole foreground process group, the
// agent included: it must hear of it once, not a second time from us.
TEST_F(SignalTest, CtrlCInATerminalReachesTheAgentOnce) {
  addAgentArchive("InstallAgent.zip", "trapping");
  TerminalProcess terminal(
      {exe_}, environment({"AGENT_TRAP=0.5", "AGENT_SLEEP=30"}), cwd_);
  ASSERT_TRUE(waitFor([&] { return agentRuns() != ""; }))
      << "the agent never started";
  ASSERT_TRUE(terminal.type('\x03'));
  ProcessResult result = terminal.wait(10);

  EXPECT_EQ(agentSignals(), "INT\nexiting\n");
  EXPECT_EQ(result.exitCode, 255) << result.out;
  EXPECT_NE(result.out.find("Installation failed."), std::string::npos)
      << result.out;
  EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
}

// An unzip that leaves a partial agent at its destination, says it has
// started, and then takes its time: a signal finds it mid-unpack.
const char kSlowUnzip[] =
    "mkdir -p \"$5\" && echo partial > \"$5/install\"\n"
    "echo started > \"$AGENT_RECORD.unzip\"\n"
    "exec sleep 30\n";

TEST_F(SignalTest, SignalMidUnpackLeavesNoHalfMadeAgent) {
  const std::string path = unzipFirstOnPath(kSlowUnzip);
  server_.serve("/agent.zip", archiveReply(readFile(makeAgentArchive("dl"))));
  setUrl(server_.url("/agent.zip"));
  const std::pair<const char*, bool> roads[] = {{"shipped", true},
                                                {"downloaded", false}};
  for (const auto& road : roads) {
    if (road.second) addAgentArchive("InstallAgent.zip", "shipped");
    for (const Stop& stop : kStops) {
      SCOPED_TRACE(std::string(road.first) + " " + stop.name);
      remove(tree_.at("record.unzip").c_str());
      auto process = start({}, {"ZR_BOOTSTRAP_UI=console", path});
      ASSERT_TRUE(waitFor([&] { return pathExists(tree_.at("record.unzip")); }))
          << "unzip never started";
      expectFailure(stopPromptly(*process, stop.signal));
      EXPECT_EQ(agentRuns(), "");
      if (road.second) continue;
      EXPECT_FALSE(pathExists(cache() + ".validatestring"));
      EXPECT_EQ(listDir(cache()),
                (Strings{".lock", ".partial-download.lock", "installagent"}))
          << "staging left";
      EXPECT_EQ(listDir(cache() + "installagent"), Strings{});
    }
    remove((resources_ + "/InstallAgent.zip").c_str());
  }
}

}  // namespace
