#include "platform/child_process.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

// Only absolute entries are searched; without one, the system's path.
TEST(FindProgram, OnlyAbsoluteEntriesOrTheSystemPath) {
  ScratchTree tree;
  const std::string abs = tree.at("abs");
  makeDirs(abs + "/tool");  // a directory of that name is no program
  makeDirs(tree.at("other"));
  writeFile(tree.at("other/tool"), "");
  ASSERT_EQ(chmod(tree.at("other/tool").c_str(), 0755), 0);
  writeFile(abs + "/plain", "");  // not executable
  const struct {
    const char* name;
    std::string path;
    bool unset;
    std::string found;
  } cases[] = {
      {"tool", abs + ":" + tree.at("other"), false, tree.at("other/tool")},
      {"tool", ":.:other:" + tree.at("other/"), false, tree.at("other/tool")},
      {"plain", abs, false, ""},
      {"sh", "", false, "/bin/sh"},
      {"sh", ".:bin:", false, "/bin/sh"},
      {"sh", "", true, "/bin/sh"},
      {"sh", abs, false, ""},  // an absolute entry makes PATH usable
      {"./x/y", "", false, "./x/y"},
      {"", "/usr/bin", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " on " + c.path);
    EXPECT_EQ(findProgram(c.name, c.unset ? nullptr : c.path.c_str()),
              c.found);
  }
}

}  // namespace
