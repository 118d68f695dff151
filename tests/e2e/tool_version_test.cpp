// Both tools name the kit's version, the one the build sets once.

#include <gtest/gtest.h>

#include <string>

#include "support/process.h"

namespace {

TEST(ToolVersion, EachToolPrintsItsNameAndTheKitVersion) {
  const struct {
    const char* path;
    const char* name;
  } tools[] = {{MAKE_BUNDLE_PATH, "make-bundle"},
               {AGENT_SERVER_PATH, "agent-server"}};
  for (const auto& tool : tools) {
    SCOPED_TRACE(tool.name);
    // What follows --version is not looked at, as after --help.
    ProcessResult result = runProcess({tool.path, "--version", "--bogus"},
                                      {"PATH=/usr/bin:/bin"}, "", 10);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, std::string(tool.name) + " " BOOTSTRAP_VERSION "\n");
    EXPECT_EQ(result.err, "");
  }
}

}  // namespace
