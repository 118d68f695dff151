#ifndef BOOTSTRAP_TESTS_E2E_BUNDLE_FIXTURE_H_
#define BOOTSTRAP_TESTS_E2E_BUNDLE_FIXTURE_H_

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/scratch_tree.h"

enum class Layout { kPlainDirectory, kAppBundle };

// What the cache holds after a download: the agent, its marker and the
// files beside them; nothing half-made, no staging, no partial download.
inline const std::vector<std::string> kCacheEntries = {
    ".agent-in-use",   ".lock",           ".partial-download.lock",
    ".sourceurl",      ".validatestring", "installagent"};
// The same after a failed run, which keeps what it said.
inline const std::vector<std::string> kCacheEntriesAfterFailure = [] {
  std::vector<std::string> entries = kCacheEntries;
  entries.push_back("last-failure.log");  // last in listDir's order too
  return entries;
}();

// The built executable copied into a bundle in a temporary tree, run as a
// user would with HOME and TMPDIR inside that tree. Its agents record how
// they were started.
class BundleFixture : public ::testing::Test {
 protected:
  BundleFixture();

  // Puts the executable and bundle.zip, and nothing else, into a bundle.
  void makeBundle(Layout layout, const std::string& name = "Setup");
  // Takes the bundle at path, made in layout by other means, as the one
  // that run() starts.
  void adoptBundle(Layout layout, const std::string& path);
  // The payload archive that makeBundle ships; its path.
  std::string makePayloadArchive();
  // A zip archive holding an install script that records its runs under
  // tag, then sleeps $AGENT_SLEEP seconds and exits with $AGENT_EXIT (or
  // records "replaced" and exits 9 if its own file was replaced or removed
  // meanwhile); its path.
  std::string makeAgentArchive(const std::string& tag);
  // The same archive put into the bundle's resources under name.
  void addAgentArchive(const std::string& name, const std::string& tag);

  // Points the bundle's installAgentURL.txt at url.
  void setUrl(const std::string& url);
  // The per-user agent cache under the private HOME, ending in "/".
  std::string cache() const;

  // Puts script in the tree as bin/unzip; the PATH entry, for extraEnv,
  // that finds it before the system's.
  std::string unzipFirstOnPath(const std::string& script);

  // Copies file into the directory of the bundle's executable.
  void copyBesideExecutable(const std::string& file);

  // Runs the bundle's executable with args in environment(extraEnv).
  ProcessResult run(const std::vector<std::string>& args,
                    const std::vector<std::string>& extraEnv = {});
  // The same run, started in the background.
  std::unique_ptr<BackgroundProcess> start(
      const std::vector<std::string>& args,
      const std::vector<std::string>& extraEnv = {});

  // $0 and the arguments the agent was last started with.
  std::vector<std::string> agentCall();
  // The tags of every agent run so far, a line each.
  std::string agentRuns();
  // What a trapping agent ($AGENT_TRAP) recorded: the signals it got, and
  // "exiting" once it finished.
  std::string agentSignals();
  // What the agent saw in $TMPDIR when it ran.
  std::string agentSawInTmpdir();

  // The child's environment: a private HOME and TMPDIR, a plain PATH, where
  // the agent records, and extraEnv, whose entries replace those of the
  // same name.
  std::vector<std::string> environment(
      const std::vector<std::string>& extraEnv);

  ScratchTree tree_;
  std::string home_, tmpdir_, cwd_;
  std::string bundlePath_, exeDir_, resources_, exe_;
};

#endif
