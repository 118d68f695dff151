// Where the executable finds its desktop window module: beside itself in a
// bundle, else in lib/bootstrap-installer/ beside the bin/ it is installed
// in. The display given does not answer, so a module that was found and
// loaded says so, and the run goes on in the console.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/bundle_fixture.h"
#include "support/test_http_server.h"
#include "support/x_display.h"

namespace {

const char kModule[] = "bootstrap-installer-gtk.so";

struct LookupCase {
  const char* name;
  bool beside;      // a module beside the executable
  bool junkBeside;  // ... that is no shared object at all
  bool installed;   // a module in ../lib/bootstrap-installer/
  // Expected in the log line that says why no desktop window shows:
  // a module that loaded and found no display says "cannot open display".
  const char* why;
};

class DesktopModuleLookup : public BundleFixture {};

TEST_F(DesktopModuleLookup, BesideTheExecutableFirstThenTheInstalledLibDir) {
  const std::string dead = deadDisplayName();
  ASSERT_NE(dead, "");
  const LookupCase cases[] = {
      {"beside", true, false, false, "cannot open display"},
      {"installed", false, false, true, "cannot open display"},
      {"junk beside wins", true, true, true, "bin/bootstrap-installer-gtk.so"},
      {"none", false, false, false, "no bootstrap-installer-gtk.so in"},
  };
  TestHttpServer server;
  TestReply reply;
  reply.body = readFile(makeAgentArchive("console"));
  server.serve("/agent.zip", reply);
  int runs = 0;
  std::string agentRunsSoFar;
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string prefix = std::string("prefix-") + std::to_string(runs);
    makeBundle(Layout::kPlainDirectory, prefix + "/bin");
    setUrl(server.url("/agent.zip"));
    if (c.junkBeside)
      writeFile(exeDir_ + "/" + kModule, "not a shared object");
    else if (c.beside)
      copyBesideExecutable(BOOTSTRAP_DESKTOP_MODULE_PATH);
    if (c.installed) {
      std::string lib = tree_.at("apps/" + prefix + "/lib/bootstrap-installer");
      makeDirs(lib);
      writeFile(lib + "/" + kModule, readFile(BOOTSTRAP_DESKTOP_MODULE_PATH));
    }
    ProcessResult result =
        run({}, {"DISPLAY=" + dead, "ASAN_OPTIONS=detect_leaks=0"});
    ++runs;
    agentRunsSoFar += "console\n";

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(agentRuns(), agentRunsSoFar);
    size_t line = result.err.find("No desktop window");
    ASSERT_NE(line, std::string::npos) << result.err;
    std::string why =
        result.err.substr(line, result.err.find('\n', line) - line);
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
  }
}

}  // namespace
