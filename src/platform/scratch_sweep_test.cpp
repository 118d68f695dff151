#include "platform/scratch_sweep.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/child_process.h"
#include "platform/pipes.h"
#include "platform/temp_dir.h"
#include "support/captured_stderr.h"
#include "support/process.h"
#include "support/scratch_tree.h"

namespace {

using Strings = std::vector<std::string>;

// An agent that closes every descriptor a shell script may redirect,
// makes the file readyFile and outlives the run.
std::vector<std::string> agentArgs(const std::string& readyFile) {
  return {"sh", "-c",
          "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; : > \"$0\"; exec sleep 30",
          readyFile};
}

// A run that makes its scratch directory in parent, starts that agent as
// the real one does (not tied to the run) and is killed with SIGKILL, so
// that nothing of its own cleans up. The agent's pid.
pid_t runKilledLeavingItsAgent(const std::string& parent,
                               const std::string& readyFile) {
  int pipeFds[2];
  if (!openPipe(pipeFds)) return -1;
  pid_t run = fork();
  if (run == 0) {
    TempDir scratch(parent);
    pid_t agent = startChild("/bin/sh", agentArgs(readyFile), ChildOptions());
    (void)!write(pipeFds[1], &agent, sizeof agent);
    raise(SIGKILL);
  }
  close(pipeFds[1]);
  pid_t agent = -1;
  if (read(pipeFds[0], &agent, sizeof agent) != sizeof agent) agent = -1;
  close(pipeFds[0]);
  if (run > 0) waitpid(run, nullptr, 0);
  return agent;
}

struct KillOnExit {
  pid_t pid;
  ~KillOnExit() {
    if (pid > 0) kill(pid, SIGKILL);
  }
};

TEST(ScratchSweep, AKilledRunsDirectoryStaysWhileItsAgentLives) {
  ScratchTree tree, elsewhere;
  const std::string ready = elsewhere.at("agent-ready");
  KillOnExit agent{runKilledLeavingItsAgent(tree.path(), ready)};
  ASSERT_GT(agent.pid, 0);
  ASSERT_TRUE(waitFor([&] { return pathExists(ready); }));
  const Strings left = listDir(tree.path());
  ASSERT_EQ(left.size(), 1u);

  removeAbandonedScratch(tree.path());
  EXPECT_EQ(listDir(tree.path()), left) << "removed under a live agent";

  CapturedStderr log;
  kill(agent.pid, SIGKILL);
  agent.pid = -1;
  EXPECT_TRUE(waitFor([&] {
    removeAbandonedScratch(tree.path());
    return listDir(tree.path()).empty();
  }));
  EXPECT_TRUE(isOneLineHolding(log.text(), tree.at(left[0]))) << log.text();
}

enum class Entry {
  kAbandoned,     // a directory with its marker, nobody holding its lock
  kUnmarked,      // a directory a run has made but not yet locked
  kMarkerIsLink,  // the marker a link to a regular file
  kLinkToAbandoned,
  kFile,
  kOtherUsers,    // abandoned, but another user's
};

void make(const std::string& path, Entry entry) {
  const std::string marker = path + "/" + kScratchMarker;
  switch (entry) {
    case Entry::kAbandoned:
    case Entry::kOtherUsers:
      makeDirs(path);
      writeFile(marker, "");
      if (entry == Entry::kOtherUsers) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
      }
      break;
    case Entry::kUnmarked:
      makeDirs(path);
      break;
    case Entry::kMarkerIsLink:
      makeDirs(path);
      writeFile(path + "-file", "");
      ASSERT_EQ(symlink((path + "-file").c_str(), marker.c_str()), 0);
      break;
    case Entry::kLinkToAbandoned:
      make(path + "-target", Entry::kAbandoned);
      ASSERT_EQ(symlink((path + "-target").c_str(), path.c_str()), 0);
      break;
    case Entry::kFile:
      writeFile(path, "");
      break;
  }
}

TEST(ScratchSweep, RemovesOnlyTheUsersOwnAbandonedScratchDirectories) {
  ScratchTree tree;
  struct Case {
    const char* name;
    Entry entry;
    bool removed;
  };
  std::vector<Case> cases = {
      {"zrDEAD01", Entry::kAbandoned, true},
      {"zrNOMARK", Entry::kUnmarked, false},
      {"zrLNKMRK", Entry::kMarkerIsLink, false},
      {"zrLINKED", Entry::kLinkToAbandoned, false},
      {"zrFILE01", Entry::kFile, false},
      {"zrSHORT", Entry::kAbandoned, false},
      {"zrLONGER1", Entry::kAbandoned, false},
      {"xyDEAD01", Entry::kAbandoned, false},
  };
  // Only root can give a directory away.
  if (geteuid() == 0) cases.push_back({"zrOTHER1", Entry::kOtherUsers, false});
  for (const Case& c : cases) make(tree.at(c.name), c.entry);
  TempDir live(tree.path());
  const Strings before = listDir(tree.path());

  removeAbandonedScratch(tree.path());

  Strings expected = before;
  for (const Case& c : cases) {
    if (c.removed)
      expected.erase(
          std::find(expected.begin(), expected.end(), std::string(c.name)));
  }
  EXPECT_EQ(listDir(tree.path()), expected);
}

}  // namespace
