#include "cache/leftovers.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

using Strings = std::vector<std::string>;

// Staging and retired directories of killed runs go; those whose run still
// holds them, and anything else in the cache, stay.
TEST(RemoveLeftovers, OnlyThoseWhoseRunIsGone) {
  ScratchTree tree;
  const std::string cache = tree.at("cache/");
  const Strings names = {".installagent-new-dead01", ".installagent-old-dead02",
                         ".installagent-new-live01", ".installagent-old-live02",
                         "installagent", ".installagent-other"};
  for (const std::string& name : names) {
    makeDirs(cache + name + "/sub");
    writeFile(cache + name + "/sub/file", "x");
  }
  writeFile(cache + ".installagent-new-file", "a file, not ours to judge");
  int live[] = {lockOwnedDirectory(cache + names[2]),
                lockOwnedDirectory(cache + names[3])};
  ASSERT_GE(live[0], 0);
  ASSERT_GE(live[1], 0);

  removeLeftovers(cache);
  EXPECT_EQ(listDir(cache),
            (Strings{".installagent-new-file", ".installagent-new-live01",
                     ".installagent-old-live02", ".installagent-other",
                     ".lock", "installagent"}));
  for (int fd : live) close(fd);

  removeLeftovers(cache);
  EXPECT_EQ(listDir(cache), (Strings{".installagent-new-file",
                                     ".installagent-other", ".lock",
                                     "installagent"}));
}

}  // namespace
