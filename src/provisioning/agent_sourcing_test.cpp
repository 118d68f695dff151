#include "provisioning/agent_sourcing.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/bundle_paths.h"
#include "support/scratch_tree.h"

namespace {

using Strings = std::vector<std::string>;
std::vector<std::pair<std::string, bool>> reports;
void record(const std::string& m, bool isError) {
  reports.emplace_back(m, isError);
}

TEST(FindLocalInstallAgentArchive, DefaultFirstThenHighestVersion) {
  const std::pair<Strings, std::string> cases[] = {
      {{"InstallAgent.zip", "InstallAgent_2.zip"}, "InstallAgent.zip"},
      {{"InstallAgent_2.zip", "InstallAgent_10.zip", "InstallAgent_9.zip",
        "InstallAgent_1.10.zip", "InstallAgent_.zip", "InstallAgent_01.zip"},
       "InstallAgent_10.zip"},
      {{"InstallAgent_1.9.zip", "InstallAgent_1.10.zip", "InstallAgent_1.2.zip",
        "InstallAgent_1.zip", "InstallAgent_1.09.zip"},
       "InstallAgent_1.10.zip"},
      {{"InstallAgent_a.zip"}, "InstallAgent_a.zip"},
      {{"InstallAgent_.zip"}, "InstallAgent_.zip"},
      {{"installagent_1.zip", "InstallAgent_1.ZIP", "XInstallAgent_1.zip",
        "InstallAgent_1.zip.bak", "InstallAgent.zip.old", "InstallAgent_zip"},
       ""}};
  for (const auto& c : cases) {
    ScratchTree tree;
    for (const std::string& name : c.first) writeFile(tree.at(name), "");
    EXPECT_EQ(findLocalInstallAgentArchive(tree.at("InstallAgent.zip")),
              c.second.empty() ? "" : tree.at(c.second))
        << c.first[0];
  }
  EXPECT_EQ(findLocalInstallAgentArchive(""), "");
}

const std::string kAgentDir =
    "/.tarvik/app_installer_cache/Q4711x/darw64/installagent";

// What the fake download was given and saw; what it then does.
Strings calls;
bool downloadResult;
std::string home, agentDirToName;

bool fakeDownload(const char* target, const char* url, const Settings&, ReportFn,
                  std::string* agentDir) {
  std::string modes;  // of each cache level, innermost first
  for (std::string dir = home + kAgentDir; dir != home;
       dir.erase(dir.rfind('/'))) {
    struct stat st;
    char mode[8] = "- ";
    if (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      snprintf(mode, sizeof mode, "%o ", st.st_mode & 07777);
    modes += mode;
  }
  calls.push_back(std::string(target) + "|" + url + "|" + modes);
  *agentDir = agentDirToName;
  return downloadResult;
}

class SourceByDownload : public testing::Test {
 protected:
  void SetUp() override {
    // No shipped archive beside this executable, so the download road is taken.
    ASSERT_EQ(findLocalInstallAgentArchive(getDefaultInstallAgentLocation()),
              "");
    home = tree_.at("home");
    makeDirs(home);
    makeDirs(tree_.at("work"));
    settings.home = home;
    calls.clear();
    reports.clear();
    downloadResult = true;
    agentDirToName.clear();
  }
  std::string source(const std::string& url) {
    return sourceInstallAgentWith(tree_.at("work"), url, settings,
                                  fakeDownload, record);
  }
  ScratchTree tree_;
  Settings settings;
};

TEST_F(SourceByDownload, CacheIsMadePrivateBeforeTheDownload) {
  downloadResult = false;
  const std::string modes = "700 700 700 700 700 ";
  EXPECT_EQ(source("https://a.test/agent.zip"), "");
  EXPECT_EQ(source(""), "");
  EXPECT_EQ(
      calls,
      Strings(
          {tree_.at("work/InstallAgent.zip|https://a.test/agent.zip|") + modes,
           tree_.at("work/InstallAgent.zip||") + modes}));
  EXPECT_TRUE(reports.empty());
}

// The agent is the one the window names, if it names one that holds an
// agent; nothing else is looked at.
TEST_F(SourceByDownload, TheAgentIsTheOneTheWindowNames) {
  const std::string named = tree_.at("named/");
  const struct {
    const char* name;
    const char* install;  // "file", "dir" or "" (none)
    std::string dir;      // what the window names
    std::string agent;
  } cases[] = {
      {"an agent", "file", named, named + "install"},
      {"install is a directory", "dir", named, ""},
      {"nothing named", "file", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    makeDirs(named);
    if (std::string(c.install) == "file") writeFile(named + "install", "a");
    if (std::string(c.install) == "dir") makeDirs(named + "install");
    // A cached agent is no stand-in for one the window did not name.
    makeDirs(home + kAgentDir);
    writeFile(home + kAgentDir + "/install", "cached");
    agentDirToName = c.dir;
    reports.clear();
    EXPECT_EQ(source("u"), c.agent);
    EXPECT_EQ(reports.empty(), !c.agent.empty());
    if (c.agent.empty()) {
      EXPECT_EQ(reports, decltype(reports)({{
                             "Failed to initialize the install agent.", true}}));
    }
    ASSERT_EQ(system(("rm -rf '" + named + "'").c_str()), 0);
  }
}

}  // namespace
