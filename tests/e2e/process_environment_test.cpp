// The process as strangers' machines start it: closed standard descriptors,
// a reader that goes away, a terminal, an odd PATH, a read-only home.

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "platform/remove_tree.h"
#include "support/terminal_process.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;

class ProcessEnvironment : public BundleFixture {
 protected:
  ProcessEnvironment() { makeBundle(Layout::kAppBundle); }

  void serveAgent(const std::string& body) {
    TestReply reply;
    reply.body = body;
    reply.headers = {{"ETag", "\"v1\""}};
    server_.serve("/agent.zip", reply);
    setUrl(server_.url("/agent.zip"));
  }

  // Runs the bundle through /bin/sh as script says ("$0" is the bundle's
  // executable, "$1" a file for its exit status); its exit status.
  std::string runThroughShell(const std::string& script,
                              const std::vector<std::string>& extraEnv = {}) {
    const std::string status = tree_.at("status");
    remove(status.c_str());
    ProcessResult shell = runProcess({"/bin/sh", "-c", script, exe_, status},
                                     environment(extraEnv), cwd_, 30);
    EXPECT_FALSE(shell.timedOut);
    return pathExists(status) ? readFile(status) : "(none) " + shell.err;
  }

  // An agent archive larger than one chunk of the transfer, so that a
  // line written into the download lands inside the archive.
  std::string agentWithNoise(const std::string& tag) {
    makeAgentArchive(tag);
    std::mt19937 random(7);
    std::string noise(1 << 20, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    writeFile(tree_.at("src/noise"), noise);
    makeZip(tree_.at("noisy.zip"), tree_.at("src"), {"install", "noise"});
    return readFile(tree_.at("noisy.zip"));
  }

  TestHttpServer server_;
};

// Started with a standard descriptor closed, the download must not land
// on it; with its output read by a program that quits early, the run must
// not die of SIGPIPE.
TEST_F(ProcessEnvironment, ClosedDescriptorsAndAReaderThatGoesAway) {
  const std::pair<const char*, const char*> cases[] = {
      {"stdin closed", "{ \"$0\" <&-; echo $? > \"$1\"; }"},
      {"stdout closed", "{ \"$0\" >&-; echo $? > \"$1\"; }"},
      {"stderr closed", "{ \"$0\" 2>&-; echo $? > \"$1\"; }"},
      {"all three closed", "{ \"$0\" <&- >&- 2>&-; echo $? > \"$1\"; }"},
      {"no reader left on stderr",
       "{ sleep 0.5; \"$0\" 2>&1; echo $? > \"$1\"; } | true"},
  };
  serveAgent(agentWithNoise("fetched"));
  std::string runs;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    removeTree(home_ + "/.tarvik");
    EXPECT_EQ(runThroughShell(c.second, {"ZR_BOOTSTRAP_UI=console"}), "0\n");
    runs += "fetched\n";
    EXPECT_EQ(agentRuns(), runs);
    EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
  }
}

// Under a terminal, unzip that meets a full disk asks whether to go on;
// nobody may be there to answer. It must read no terminal: the run ends
// and says why.
TEST_F(ProcessEnvironment, UnzipNeverWaitsForTheTerminal) {
  makeDirs(tree_.at("bulky"));
  writeFile(tree_.at("bulky/install"), "exit 0\n");
  writeFile(tree_.at("bulky/data"), std::string(2 << 20, '\0'));
  makeZip(tree_.at("bulky.zip"), tree_.at("bulky"), {"install", "data"});
  serveAgent(readFile(tree_.at("bulky.zip")));
  // A file size limit stands in for a full disk.
  TerminalProcess terminal({"/bin/sh", "-c",
                            "ulimit -f 2048; trap '' XFSZ; exec \"$0\"", exe_},
                           environment({"ZR_BOOTSTRAP_UI=console"}), cwd_);
  ProcessResult result = terminal.wait(20);

  EXPECT_FALSE(result.timedOut) << result.out;
  EXPECT_EQ(result.exitCode, 255) << result.out;
  EXPECT_NE(result.out.find("the disk is full"), std::string::npos)
      << result.out;
  EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
}

// Programs named "unzip" and "sh" in the current directory must never run,
// whatever PATH says; without PATH the system's path serves.
TEST_F(ProcessEnvironment, ProgramsAreNeverTakenFromTheCurrentDirectory) {
  const char* const paths[] = {":/usr/bin:/bin", ".:/usr/bin:/bin",
                               "bin:/usr/bin:/bin", nullptr};
  addAgentArchive("InstallAgent.zip", "shipped");
  const std::string planted =
      "echo planted >> \"$AGENT_RECORD.planted\"\nexit 1\n";
  makeDirs(cwd_ + "/bin");
  for (const char* name : {"/unzip", "/sh", "/bin/unzip", "/bin/sh"})
    writeExecutable(cwd_ + name, planted);
  std::string runs;
  for (const char* path : paths) {
    SCOPED_TRACE(path ? path : "(unset)");
    std::vector<std::string> env = environment({});
    for (std::string& entry : env) {
      if (entry.rfind("PATH=", 0) == 0)
        entry = path ? std::string("PATH=") + path : "NO_PATH=";
    }
    ProcessResult result = runProcess({exe_}, env, cwd_, 30);

    EXPECT_EQ(result.exitCode, 0) << result.err;
    runs += "shipped\n";
    EXPECT_EQ(agentRuns(), runs);
    EXPECT_FALSE(pathExists(tree_.at("record.planted")));
  }
}

// A read-only home is named as such, not as a missing directory.
TEST_F(ProcessEnvironment, AReadOnlyHomeIsNamed) {
  const std::string path = "PATH=/usr/bin:/bin:/usr/sbin:/sbin";
  ProcessResult probe = runProcess({"unshare", "-m", "true"}, {path}, "", 10);
  if (probe.exitCode != 0) GTEST_SKIP() << "no mount namespace here";
  serveAgent(readFile(makeAgentArchive("fetched")));
  const std::string script =
      "mount --bind \"$HOME\" \"$HOME\" && "
      "mount -o remount,bind,ro \"$HOME\" && exec \"$0\"";
  ProcessResult result = runProcess(
      {"unshare", "-m", "/bin/sh", "-c", script, exe_},
      environment({path, "ZR_BOOTSTRAP_UI=console"}),
      cwd_, 30);

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "fetched\n");
  EXPECT_NE(result.err.find("cannot be written (Read-only file system)"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(listDir(home_), Strings{});
  EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
}

}  // namespace
