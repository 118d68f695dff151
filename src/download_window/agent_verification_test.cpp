#include "download_window/agent_verification.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

const std::string kKey =
    "untrusted comment: minisign public key 30DE1C0DFE13195D\n"
    "RWRdGRP+DRzeMEOCkBwMPcujrPqtzOrpoxK45tq3KQMqeMLtJteQIs2z\n";

// Whatever has the key file's name but cannot be read as keys keeps the
// check on: only a name with nothing behind it at all turns it off.
TEST(BundleKeys, AbsentOnlyWhenNothingHasTheName) {
  const struct {
    const char* what;
    std::function<void(const std::string& path)> make;
    KeyFile expected;
  } cases[] = {
      {"nothing", [](const std::string&) {}, KeyFile::kAbsent},
      {"a key", [](const std::string& p) { writeFile(p, kKey); },
       KeyFile::kLoaded},
      {"a dangling link",
       [](const std::string& p) {
         ASSERT_EQ(symlink("nowhere", p.c_str()), 0);
       },
       KeyFile::kBroken},
      {"a directory", [](const std::string& p) { makeDirs(p); },
       KeyFile::kBroken},
      {"a FIFO",
       [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
       KeyFile::kBroken},
      {"garbage", [](const std::string& p) { writeFile(p, "garbage\n"); },
       KeyFile::kBroken},
      {"unreadable",
       [](const std::string& p) {
         writeFile(p, kKey);
         ASSERT_EQ(chmod(p.c_str(), 0), 0);
       },
       geteuid() == 0 ? KeyFile::kLoaded : KeyFile::kBroken},
  };
  alarm(10);  // kill rather than hang should the FIFO be waited on
  for (const auto& c : cases) {
    ScratchTree tree;
    c.make(tree.at(kKeyFileName));
    std::vector<PublicKey> keys;
    std::string why;
    EXPECT_EQ(loadBundleKeys(tree.path(), &keys, &why), c.expected) << c.what;
    EXPECT_EQ(keys.size(), c.expected == KeyFile::kLoaded ? 1u : 0u)
        << c.what;
    if (c.expected == KeyFile::kBroken) {
      EXPECT_EQ(why.rfind(tree.at(kKeyFileName) + ": ", 0), 0u) << why;
    }
  }
  alarm(0);
}

}  // namespace
