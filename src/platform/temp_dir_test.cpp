#include "platform/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include <gtest/gtest.h>

#include "platform/remove_tree.h"
#include "support/captured_stderr.h"
#include "support/scratch_tree.h"

namespace {

std::string parentOf(const std::string& path) {
  return path.substr(0, path.rfind('/'));
}

TEST(TempDir, FreshPrivateDirectoriesDirectlyUnderTmpdir) {
  ScratchTree tree;
  TempDir a(tree.path() + "/"), b(tree.path() + "/");
  EXPECT_NE(a.getDir(), b.getDir());
  for (const std::string& dir : {a.getDir(), b.getDir()}) {
    EXPECT_EQ(parentOf(dir), tree.path());
    EXPECT_EQ(dir.substr(dir.rfind('/') + 1, 2), "zr");
    EXPECT_EQ(dir.size(), tree.path().size() + 9);  // "/zr" and six
    struct stat st;
    ASSERT_EQ(lstat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & (S_IFMT | 07777), S_IFDIR | 0700u);
  }
}

TEST(TempDir, RelativeOrUnusableTmpdir) {
  ScratchTree tree;
  makeDirs(tree.at("rel"));
  ASSERT_EQ(chdir(tree.path().c_str()), 0);
  EXPECT_EQ(parentOf(TempDir("rel").getDir()), tree.at("rel"));

  writeFile(tree.at("file"), "");
  std::string fallback;
  {
    TempDir dir(tree.at("file/sub"));
    fallback = dir.getDir();
    EXPECT_EQ(parentOf(fallback), "/tmp");
    EXPECT_TRUE(pathExists(fallback));
  }
  EXPECT_FALSE(pathExists(fallback));
  ASSERT_EQ(chdir("/"), 0);
}

// Others may swap the scratch directory where they write without the
// sticky bit: /tmp instead, and a line says why.
TEST(TemporaryRoot, NotWhereOthersWriteWithoutTheStickyBit) {
  ScratchTree tree;
  const std::pair<mode_t, bool> cases[] = {
      {01777, true}, {0770, true}, {0777, false}, {0703, false}};
  for (const auto& [mode, used] : cases) {
    const std::string dir = tree.at(std::to_string(mode));
    makeDirs(dir);
    ASSERT_EQ(chmod(dir.c_str(), mode), 0);
    CapturedStderr log;
    EXPECT_EQ(temporaryRoot(dir), used ? dir : "/tmp") << mode;
    EXPECT_EQ(isOneLineHolding(log.text(), "Not using TMPDIR=" + dir), !used)
        << log.text();
  }
}

TEST(TempDir, DestructionRemovesAllButWhatLinksPointAt) {
  ScratchTree tree;
  makeDirs(tree.at("outside"));
  writeFile(tree.at("outside/file"), "keep");
  ASSERT_EQ(chmod(tree.at("outside").c_str(), 0500), 0);
  std::string path;
  {
    TempDir dir(tree.path());
    path = dir.getDir();
    makeDirs(path + "/ro/deeper");
    writeFile(path + "/ro/deeper/b", "b");
    ASSERT_EQ(symlink(tree.at("outside").c_str(), (path + "/link").c_str()), 0);
    ASSERT_EQ(symlink(tree.at("outside/file").c_str(),
                      (path + "/ro/filelink").c_str()),
              0);
    ASSERT_EQ(chmod((path + "/ro/deeper").c_str(), 0500), 0);
    ASSERT_EQ(chmod((path + "/ro").c_str(), 0500), 0);
  }
  EXPECT_EQ(listDir(tree.path()), std::vector<std::string>({"outside"}));
  EXPECT_EQ(readFile(tree.at("outside/file")), "keep");
  struct stat outside;
  ASSERT_EQ(lstat(tree.at("outside").c_str(), &outside), 0);
  EXPECT_EQ(outside.st_mode & 07777, 0500u) << "changed through a link";
}

TEST(TempDir, AlreadyRemovedIsSilent) {
  ScratchTree tree;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    TempDir dir(tree.path());
    EXPECT_TRUE(removeTree(dir.getDir()));
    EXPECT_TRUE(removeTree(dir.getDir()));
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr() +
                testing::internal::GetCapturedStdout(),
            "");
  EXPECT_TRUE(listDir(tree.path()).empty());
}

}  // namespace
