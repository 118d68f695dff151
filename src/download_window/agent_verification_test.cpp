#include "download_window/agent_verification.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

// Only a name with nothing behind it turns the check of agents off.
TEST(BundleKeys, AbsentOnlyWhenNothingHasTheName) {
  ScratchTree tree;
  const std::pair<const char*, KeyFile> cases[] = {
      {"none", KeyFile::kAbsent}, {"key", KeyFile::kLoaded},
      {"link", KeyFile::kBroken}, {"dir", KeyFile::kBroken},
      {"fifo", KeyFile::kBroken}, {"garbage", KeyFile::kBroken}};
  for (const auto& c : cases) makeDirs(tree.at(c.first));
  const std::string name = std::string("/") + kKeyFileName;
  writeFile(tree.at("key") + name,
            "untrusted comment: minisign public key 30DE1C0DFE13195D\n"
            "RWRdGRP+DRzeMEOCkBwMPcujrPqtzOrpoxK45tq3KQMqeMLtJteQIs2z\n");
  ASSERT_EQ(symlink("nowhere", (tree.at("link") + name).c_str()), 0);
  makeDirs(tree.at("dir") + name);
  ASSERT_EQ(mkfifo((tree.at("fifo") + name).c_str(), 0600), 0);
  writeFile(tree.at("garbage") + name, "garbage\n");
  alarm(10);  // kill rather than hang should the FIFO be waited on
  for (const auto& c : cases) {
    std::vector<PublicKey> keys;
    std::string why;
    EXPECT_EQ(loadBundleKeys(tree.at(c.first), &keys, &why), c.second)
        << c.first;
  }
  alarm(0);
}

}  // namespace
