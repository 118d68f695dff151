// Started outside a bundle, or from a bundle without its payload: one line
// says what is missing, before anything is made or any agent runs.

#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"

namespace {

using Strings = std::vector<std::string>;

class IncompleteBundle : public BundleFixture {};

TEST_F(IncompleteBundle, SaysWhatIsMissingAndMakesNothing) {
  const struct {
    const char* name;
    bool agent;  // ships InstallAgent.zip, but no bundle.zip
  } cases[] = {{"outside", false}, {"no payload", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    makeBundle(Layout::kAppBundle, c.name);
    remove((resources_ + "/bundle.zip").c_str());
    if (c.agent) addAgentArchive("InstallAgent.zip", "shipped");
    ProcessResult result = run({});

    const std::string line =
        c.agent ? "The payload " + resources_ + "/bundle.zip is missing"
                : "No install agent and no installAgentURL.txt in " +
                      resources_ + ": this program runs only inside a bundle";
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.err, line + "\nInstallation failed.\n");
    EXPECT_EQ(agentRuns(), "");
    // Only the failure's log.
    EXPECT_EQ(listDir(cache()), (Strings{".lock", "last-failure.log"}));
    EXPECT_NE(readFile(cache() + "last-failure.log").find(line),
              std::string::npos);
    EXPECT_EQ(listDir(tmpdir_), Strings{});
  }
}

}  // namespace
