#include "platform/unzip.h"

#include <stdio.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/scratch_tree.h"

namespace {

using Strings = std::vector<std::string>;
std::vector<std::pair<std::string, bool>> reports;
void record(const std::string& m, bool isError) {
  reports.emplace_back(m, isError);
}

// unzip reads the archive's name as a pattern: each archive must unpack
// itself, not a decoy its name would match as a pattern.
TEST(UnzipInstallAgent, UnpacksExactlyTheNamedArchive) {
  ScratchTree tree;
  makeDirs(tree.at("src"));
  int unpacked = 0;
  const std::pair<std::string, Strings> dirs[] = {
      {"in",
       {"a[1]x.zip", "a*?x.zip", "c\\[d.zip", "a\\b.zip", "with blank [1].zip",
        "q?.zip", "plain.zip"}},
      {"Setup [2]", {"InstallAgent.zip", "a[1]x.zip"}},
      {"back\\slash*?", {"a*?x.zip", "a\\b.zip"}},
  };
  for (const auto& dir : dirs) {
    makeDirs(tree.at(dir.first));
    Strings all = dir.second;
    for (const char* decoy :
         {"a1x.zip", "abcx.zip", "c[d.zip", "qq.zip", "with blank 1.zip"})
      all.push_back(decoy);
    for (const std::string& name : all) {
      writeFile(tree.at("src/install"), "from " + name);
      makeZip(tree.at("src/a.zip"), tree.at("src"), {"install"});
      ASSERT_EQ(rename(tree.at("src/a.zip").c_str(),
                       tree.at(dir.first + "/" + name).c_str()),
                0);
    }
    for (const std::string& name : dir.second) {
      std::string dest = tree.at("out" + std::to_string(++unpacked));
      reports.clear();
      EXPECT_TRUE(unzipInstallAgent(tree.at(dir.first + "/" + name), dest,
                                    "unzip", record));
      EXPECT_EQ(readFile(dest + "/install"), "from " + name);
      EXPECT_TRUE(reports.empty());
    }
  }
}

TEST(UnzipInstallAgent, MissingIsSilentCorruptIsReportedOnce) {
  ScratchTree tree;
  reports.clear();
  EXPECT_FALSE(
      unzipInstallAgent(tree.at("none.zip"), tree.at("out"), "unzip", record));
  EXPECT_TRUE(reports.empty());
  EXPECT_FALSE(pathExists(tree.at("out")));

  writeFile(tree.at("junk.zip"), "not a zip archive\n");
  EXPECT_FALSE(
      unzipInstallAgent(tree.at("junk.zip"), tree.at("out"), "unzip", record));
  EXPECT_EQ(reports,
            decltype(reports)({{"Failed to unzip the install agent", true}}));
}

}  // namespace
