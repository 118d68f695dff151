#include "cache/lock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(CacheLock, OneHolderAtATime) {
  ScratchTree tree;
  const std::string dir = tree.path() + "/";
  {
    CacheLock first(dir);
    ASSERT_TRUE(first.held());
    auto start = Clock::now();
    CacheLock second(dir, 200);
    EXPECT_FALSE(second.held());
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(200));
  }
  CacheLock third(dir, 0);
  EXPECT_TRUE(third.held());
  struct stat st;
  ASSERT_EQ(stat(tree.at(".lock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u);
}

// Without a usable lock file the run goes on unlocked, and nothing is made
// or followed.
TEST(CacheLock, NoLockWithoutAPlainFileToLock) {
  ScratchTree tree;
  writeFile(tree.at("target"), "keep");
  makeDirs(tree.at("linked"));
  ASSERT_EQ(symlink(tree.at("target").c_str(), tree.at("linked/.lock").c_str()),
            0);
  makeDirs(tree.at("dir/.lock"));
  for (const char* dir : {"missing/", "linked/", "dir/"}) {
    SCOPED_TRACE(dir);
    CacheLock lock(tree.at(dir), 0);
    EXPECT_FALSE(lock.held());
  }
  EXPECT_FALSE(pathExists(tree.at("missing")));
  EXPECT_EQ(readFile(tree.at("target")), "keep");
}

}  // namespace
