// The offline road: agent archives shipped in the bundle.

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "support/terminal_process.h"

namespace {

class OfflineRoad : public BundleFixture {};

class BothLayouts : public OfflineRoad,
                    public ::testing::WithParamInterface<Layout> {};

TEST_P(BothLayouts, RunsShippedAgentOnPayloadInScratchDirectory) {
  makeBundle(GetParam());
  addAgentArchive("InstallAgent.zip", "default");
  ProcessResult result = run({"-v", "x y"});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(agentRuns(), "default\n");
  std::vector<std::string> call = agentCall();
  ASSERT_EQ(call.size(), 5u);
  EXPECT_EQ(call[0].rfind(tmpdir_ + "/zr", 0), 0u) << call[0];
  EXPECT_EQ(call[0].size(), tmpdir_.size() + std::string("/zrXXXXXX/install").size());
  EXPECT_EQ(std::vector<std::string>(call.begin() + 1, call.end()),
            (std::vector<std::string>{"-installbundle",
                                      resources_ + "/bundle.zip", "-v",
                                      "x y"}));
  EXPECT_EQ(listDir(tmpdir_), std::vector<std::string>{}) << "scratch left";
}

TEST_P(BothLayouts, TakesVersionedArchiveOnlyWithoutDefault) {
  makeBundle(GetParam());
  addAgentArchive("InstallAgent_2.4.zip", "versioned");
  ProcessResult first = run({});
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(agentRuns(), "versioned\n");

  addAgentArchive("InstallAgent.zip", "default");
  ProcessResult second = run({});
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(agentRuns(), "versioned\ndefault\n");
}

INSTANTIATE_TEST_SUITE_P(Layouts, BothLayouts,
                         ::testing::Values(Layout::kPlainDirectory,
                                           Layout::kAppBundle),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                           return info.param == Layout::kAppBundle
                                      ? "AppBundle"
                                      : "PlainDirectory";
                         });

TEST_F(OfflineRoad, FailingAgentGivesTwoLinesAndStatus255) {
  makeBundle(Layout::kAppBundle);
  addAgentArchive("InstallAgent.zip", "default");
  ProcessResult result = run({}, {"AGENT_EXIT=1"});

  EXPECT_EQ(result.exitCode, 255);
  EXPECT_EQ(result.err,
            "Application install was not successful.\nInstallation failed.\n");
  EXPECT_EQ(agentRuns(), "default\n");
  EXPECT_EQ(listDir(tmpdir_), std::vector<std::string>{});
}

// Each case's stderr must end with these lines, each said once.
struct BrokenArchiveCase {
  const char* name;
  const char* content;  // nullptr: a zip whose top level lacks install
  std::vector<std::string> tail;
};

TEST_F(OfflineRoad, BrokenArchivesFailWithTheirMessages) {
  const BrokenArchiveCase cases[] = {
      {"corrupt", "this is not a zip archive",
       {"Failed to unzip the install agent",
        "Failed to initialize the install agent.", "Installation failed."}},
      {"without install", nullptr,
       {"Failed to initialize the install agent.", "Installation failed."}},
  };
  for (const BrokenArchiveCase& c : cases) {
    SCOPED_TRACE(c.name);
    makeBundle(Layout::kPlainDirectory, c.name);
    if (c.content) {
      writeFile(resources_ + "/InstallAgent.zip", c.content);
    } else {
      writeFile(tree_.at("src/setup.sh"), "exit 0\n");
      makeZip(resources_ + "/InstallAgent.zip", tree_.at("src"), {"setup.sh"});
    }
    ProcessResult result = run({});

    EXPECT_EQ(result.exitCode, 255);
    std::string tail;
    for (const std::string& line : c.tail) tail += line + "\n";
    ASSERT_GE(result.err.size(), tail.size()) << result.err;
    EXPECT_EQ(result.err.substr(result.err.size() - tail.size()), tail);
    for (const std::string& line : c.tail)
      EXPECT_EQ(result.err.find(line), result.err.rfind(line)) << line;
    EXPECT_EQ(agentRuns(), "");
    EXPECT_EQ(listDir(tmpdir_), std::vector<std::string>{});
  }
}

// unzip asks for a password on the terminal, not on standard input: on a
// user's terminal it must fail at once, not wait for an answer.
TEST_F(OfflineRoad, EncryptedArchiveOnATerminalFailsAtOnce) {
  makeBundle(Layout::kPlainDirectory);
  makeAgentArchive("encrypted");
  runProcess({"zip", "-q", "-P", "secret", resources_ + "/InstallAgent.zip",
              "install"}, {}, tree_.at("src"), 30);
  ProcessResult result =
      TerminalProcess({exe_}, environment({}), cwd_).wait(5);
  EXPECT_EQ(result.exitCode, 255) << result.out;
  EXPECT_NE(result.out.find("exit status 5: the archive is encrypted"),
            std::string::npos) << result.out;
}

TEST_F(OfflineRoad, TestModeWorksBesideTheBundleYetRemovesScratch) {
  for (Layout layout : {Layout::kPlainDirectory, Layout::kAppBundle}) {
    makeBundle(layout, layout == Layout::kAppBundle ? "App" : "Plain");
    addAgentArchive("InstallAgent.zip", "default");
    ProcessResult result = run({}, {"__ZR_BOOTSTRAP_INSTALLER_UNITTEST__="});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string besideBundle = bundlePath_.substr(0, bundlePath_.rfind('/'));
    EXPECT_EQ(agentCall().at(0), besideBundle + "/install");
    std::string seen = agentSawInTmpdir();
    EXPECT_EQ(seen.rfind("zr", 0), 0u) << "no scratch directory during run";
    EXPECT_EQ(listDir(tmpdir_), std::vector<std::string>{});
  }
}

TEST_F(OfflineRoad, UnusableTmpdirFallsBackToTmpAndLeavesNothing) {
  makeBundle(Layout::kPlainDirectory);
  addAgentArchive("InstallAgent.zip", "default");
  writeFile(tree_.at("not-a-dir"), "");
  std::vector<std::string> apps = listDir(tree_.at("apps"));
  tmpdir_ = tree_.at("not-a-dir/tmp");
  ProcessResult result = run({});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::string agent = agentCall().at(0);
  EXPECT_EQ(agent.rfind("/tmp/zr", 0), 0u) << agent;
  EXPECT_FALSE(pathExists(agent.substr(0, agent.rfind('/'))));
  EXPECT_EQ(listDir(tree_.at("apps")), apps) << "files left beside the bundle";
}

TEST_F(OfflineRoad, HostilePathNamesAreNeverRunAsCode) {
  const std::string hostile = "a b$(touch canary);'\"`touch canary`[1]*?\\";
  makeBundle(Layout::kAppBundle, "Set up " + hostile);
  addAgentArchive("InstallAgent.zip", "default");
  home_ = tree_.at("home " + hostile);
  tmpdir_ = tree_.at("tmp " + hostile);
  makeDirs(home_);
  makeDirs(tmpdir_);
  ProcessResult result = run({});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "default\n");
  EXPECT_EQ(agentCall().at(2), resources_ + "/bundle.zip");
  EXPECT_EQ(agentCall().at(0).rfind(tmpdir_ + "/zr", 0), 0u);
  EXPECT_EQ(listDir(cwd_), std::vector<std::string>{}) << "shell code ran";
  EXPECT_EQ(listDir(tmpdir_), std::vector<std::string>{});
}

TEST_F(OfflineRoad, ForwardedArgumentsReachTheAgentByteForByte) {
  makeBundle(Layout::kPlainDirectory);
  addAgentArchive("InstallAgent.zip", "default");
  const std::vector<std::string> args = {
      "x y", "", "\"quoted\"", "it's", "$(touch canary)", "a;touch canary",
      "`touch canary`", "*", "-v", "tab\there", "new\nline", "~", "#hash",
      "back\\slash", "", "\xc3\xa9t\xe9"};
  ProcessResult result = run(args);

  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::string> call = agentCall();
  ASSERT_EQ(call.size(), args.size() + 3);
  EXPECT_EQ(std::vector<std::string>(call.begin() + 3, call.end()), args);
  EXPECT_EQ(listDir(cwd_), std::vector<std::string>{}) << "shell code ran";
}

TEST_F(OfflineRoad, UnreadableEndpointFileIsToldAndTheRunGoesOn) {
  makeBundle(Layout::kPlainDirectory);
  addAgentArchive("InstallAgent.zip", "default");
  makeDirs(resources_ + "/installAgentURL.txt");
  ProcessResult result = run({});

  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "Failed to open install agent URL file\n");
  EXPECT_EQ(agentRuns(), "default\n");
}

}  // namespace
