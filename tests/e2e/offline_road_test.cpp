// Runs the built executable as a user would: copied into a bundle in a
// temporary tree, with HOME and TMPDIR inside that tree and a real agent
// archive whose install script records how it was started.

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/scratch_tree.h"

namespace {

enum class Layout { kPlainDirectory, kAppBundle };

// Records its $0, its arguments (NUL-separated), the scratch area it saw,
// and one line per run; exits with $AGENT_EXIT.
const char kRecordingAgent[] =
    "printf '%s\\0' \"$0\" \"$@\" > \"$AGENT_RECORD\"\n"
    "ls \"$TMPDIR\" > \"$AGENT_RECORD.tmpdir\" 2>/dev/null\n"
    "echo \"${AGENT_TAG:-default}\" >> \"$AGENT_RECORD.runs\"\n"
    "exit \"${AGENT_EXIT:-0}\"\n";

std::vector<std::string> splitNul(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t nul; (nul = text.find('\0', start)) != std::string::npos;
       start = nul + 1)
    parts.push_back(text.substr(start, nul - start));
  return parts;
}

class OfflineRoad : public ::testing::Test {
 protected:
  OfflineRoad() {
    home_ = tree_.at("home");
    tmpdir_ = tree_.at("tmp");
    cwd_ = tree_.at("cwd");
    makeDirs(home_);
    makeDirs(tmpdir_);
    makeDirs(cwd_);
    makeDirs(tree_.at("src"));
  }

  // Puts the executable, bundle.zip and nothing else into a new bundle.
  void makeBundle(Layout layout, const std::string& name = "Setup") {
    std::string top = tree_.at("apps/" + name);
    if (layout == Layout::kAppBundle) {
      bundlePath_ = top + ".app";
      exeDir_ = bundlePath_ + "/Contents/MacOS";
      resources_ = bundlePath_ + "/Contents/Resources";
    } else {
      bundlePath_ = exeDir_ = resources_ = top;
    }
    makeDirs(exeDir_);
    makeDirs(resources_);
    exe_ = exeDir_ + "/bootstrap-installer";
    ProcessResult copy = runProcess(
        {"cp", BOOTSTRAP_INSTALLER_PATH, exe_}, {"PATH=/usr/bin:/bin"}, "", 30);
    ASSERT_EQ(copy.exitCode, 0) << copy.err;
    writeFile(tree_.at("src/payload.txt"), "payload");
    makeZip(resources_ + "/bundle.zip", tree_.at("src"), {"payload.txt"});
  }

  // An agent archive in the bundle's resources whose agent tags its runs.
  void addAgentArchive(const std::string& name, const std::string& tag) {
    writeFile(tree_.at("src/install"),
              "AGENT_TAG=" + tag + "\n" + kRecordingAgent);
    makeZip(resources_ + "/" + name, tree_.at("src"), {"install"});
  }

  ProcessResult run(const std::vector<std::string>& args,
                    const std::vector<std::string>& extraEnv = {}) {
    std::vector<std::string> argv = {exe_};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = {
        "PATH=/usr/bin:/bin", "HOME=" + home_, "TMPDIR=" + tmpdir_,
        "AGENT_RECORD=" + tree_.at("record")};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    ProcessResult result = runProcess(argv, env, cwd_, 30);
    EXPECT_FALSE(result.timedOut);
    return result;
  }

  // $0 and the arguments the agent was started with.
  std::vector<std::string> agentCall() {
    return splitNul(readFile(tree_.at("record")));
  }
  std::string agentRuns() {
    std::string runs = tree_.at("record.runs");
    return pathExists(runs) ? readFile(runs) : "";
  }

  ScratchTree tree_;
  std::string home_, tmpdir_, cwd_;
  std::string bundlePath_, exeDir_, resources_, exe_;
};

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
      writeFile(tree_.at("src/setup.sh"), kRecordingAgent);
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

TEST_F(OfflineRoad, WithoutAnyAgentArchiveTheRunFails) {
  makeBundle(Layout::kAppBundle);
  ProcessResult result = run({});

  EXPECT_EQ(result.exitCode, 255);
  EXPECT_EQ(result.err, "Installation failed.\n");
  struct stat st;
  std::string cached = home_ + "/.tarvik/app_installer_cache/Q4711x/darw64/installagent";
  ASSERT_EQ(stat(cached.c_str(), &st), 0) << "cache directories not made";
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(listDir(tmpdir_), std::vector<std::string>{});
}

TEST_F(OfflineRoad, TestModeWorksBesideTheBundleYetRemovesScratch) {
  for (Layout layout : {Layout::kPlainDirectory, Layout::kAppBundle}) {
    makeBundle(layout, layout == Layout::kAppBundle ? "App" : "Plain");
    addAgentArchive("InstallAgent.zip", "default");
    ProcessResult result = run({}, {"__ZR_BOOTSTRAP_INSTALLER_UNITTEST__="});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string besideBundle = bundlePath_.substr(0, bundlePath_.rfind('/'));
    EXPECT_EQ(agentCall().at(0), besideBundle + "/install");
    std::string seen = readFile(tree_.at("record.tmpdir"));
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
