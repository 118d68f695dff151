#include "cache/locations.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

const std::string kTail = ".tarvik/app_installer_cache/Q4711x/darw64/";

TEST(CacheLocations, CacheDirFollowsHome) {
  const std::pair<const char*, std::string> cases[] = {
      {"/Users/ann", "/Users/ann/" + kTail},
      {"/Users/ann/", "/Users/ann/" + kTail},
      {"/", "/" + kTail},
      {"h", "h" + kTail},  // one character gets no separator, as "/" needs none
      {"", "/tmp/" + kTail}};  // unset or empty
  for (const auto& c : cases)
    EXPECT_EQ(getInstallAgentCacheDir(c.first), c.second) << c.first;
}

TEST(CacheLocations, ExecutableAndAgentDirOnDisk) {
  EXPECT_EQ(getInstallAgentExecutable(""), "install");
  EXPECT_EQ(getInstallAgentExecutable("/x"), "/x/install");
  EXPECT_EQ(getInstallAgentExecutable("/x/"), "/x/install");

  ScratchTree tree;
  const std::string home = tree.path();
  std::string agentDir = tree.at(kTail + "installagent/");
  makeDirs(tree.at(kTail + "installagent"));
  EXPECT_EQ(installAgentDirOnDisk(home), "");
  writeFile(agentDir + "install", "");
  EXPECT_EQ(installAgentDirOnDisk(home), agentDir);
  remove((agentDir + "install").c_str());
  makeDirs(agentDir + "install");  // no agent: it would never run
  EXPECT_EQ(installAgentDirOnDisk(home), "");
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return S_ISDIR(st.st_mode) ? st.st_mode & 07777 : 0;
}

TEST(Mkpath, CreatesMissingLevelsWithTheMode) {
  ScratchTree tree;
  umask(022);
  ASSERT_EQ(mkpath(tree.at("a/b/c"), 0777), 0);
  for (const char* level : {"a", "a/b", "a/b/c"})
    EXPECT_EQ(modeOf(tree.at(level)), 0755u) << level;
  umask(0);
  ASSERT_EQ(mkpath(tree.at("a/b/c/d/e/"), 0710), 0);
  EXPECT_EQ(modeOf(tree.at("a/b/c/d")), 0710u);
  EXPECT_EQ(modeOf(tree.at("a/b/c/d/e")), 0710u);
  EXPECT_EQ(modeOf(tree.at("a/b")), 0755u);  // existing levels untouched
  ASSERT_EQ(mkpath(tree.at("x//y"), 0700), 0);
  EXPECT_EQ(modeOf(tree.at("x/y")), 0700u);
  EXPECT_EQ(listDir(tree.path()), std::vector<std::string>({"a", "x"}));
}

TEST(Mkpath, RegularFileInTheWayIsNotADirectory) {
  ScratchTree tree;
  writeFile(tree.at("file"), "");
  for (const char* path : {"file", "file/sub/deeper"}) {
    errno = 0;
    EXPECT_EQ(mkpath(tree.at(path), 0700), -1) << path;
    EXPECT_EQ(errno, ENOTDIR) << path;
  }
  EXPECT_EQ(listDir(tree.path()), std::vector<std::string>({"file"}));
}

TEST(Mkpath, DanglingLinkIsNoDirectory) {
  ScratchTree tree;
  ASSERT_EQ(symlink(tree.at("nowhere").c_str(), tree.at("link").c_str()), 0);
  EXPECT_EQ(mkpath(tree.at("link"), 0700), -1);
  EXPECT_EQ(mkpath(tree.at("link/sub"), 0700), -1);
  EXPECT_FALSE(pathExists(tree.at("nowhere")));
}

}  // namespace
