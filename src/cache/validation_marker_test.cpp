#include "cache/validation_marker.h"

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

TEST(ValidationMarker, WrittenVerbatimAndMatchedExactly) {
  ScratchTree tree;
  std::string dir = tree.path(), marker = tree.at(".validatestring");
  writeValidationString(dir + "/", "abc");
  EXPECT_EQ(readFile(marker), "abc");  // no newline
  for (const std::string& d : {dir, dir + "/"})
    EXPECT_TRUE(isCacheValid(d, "abc"));
  for (const char* other : {"abd", "ABC", "ab", "abcd", ""})
    EXPECT_FALSE(isCacheValid(dir, other)) << other;

  writeValidationString(dir, "");
  EXPECT_EQ(readFile(marker), "abc");
  writeValidationString(tree.at("missing"), "abc");
  EXPECT_FALSE(pathExists(tree.at("missing")));
}

// A marker others may write would make the cache untrusted on the next run,
// whatever the user's umask.
TEST(ValidationMarker, NobodyElseMayWriteIt) {
  ScratchTree tree;
  mode_t old = umask(002);
  writeValidationString(tree.path(), "abc");
  umask(old);
  struct stat st;
  ASSERT_EQ(stat(tree.at(".validatestring").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(ValidationMarker, OnlyTheFirstLineCounts) {
  ScratchTree tree;
  const std::pair<std::string, bool> cases[] = {{"abc\nmore", true},
                                                {"abc\n", true},
                                                {"abc\r\n", false},
                                                {"abc ", false},
                                                {"\nabc", false}};
  for (const auto& c : cases) {
    writeFile(tree.at(".validatestring"), c.first);
    EXPECT_EQ(isCacheValid(tree.path(), "abc"), c.second) << c.first;
  }
  writeFile(tree.at(".validatestring"), "");
  EXPECT_FALSE(isCacheValid(tree.path(), ""));
}

TEST(ValidationMarker, FifoOrDirectoryIsNoMarker) {
  ScratchTree tree;
  ASSERT_EQ(mkfifo(tree.at(".validatestring").c_str(), 0600), 0);
  alarm(10);  // kill rather than hang should the FIFO be waited on
  EXPECT_FALSE(isCacheValid(tree.path(), "abc"));
  writeValidationString(tree.path(), "abc");
  alarm(0);
  remove(tree.at(".validatestring").c_str());
  makeDirs(tree.at(".validatestring"));
  EXPECT_FALSE(isCacheValid(tree.path(), "abc"));
}

}  // namespace
