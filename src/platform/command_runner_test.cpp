#include "platform/command_runner.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "platform/shell_words.h"
#include "support/process.h"
#include "support/scratch_tree.h"

namespace {

TEST(CallSystem, StatusComesBackAsSystemGaveIt) {
  ScratchTree tree;
  const std::pair<std::string, int> cases[] = {
      {"true", 0},  {"sh -c 'exit 3'", 3}, {"false", 1},
      {"no-such-command-here", 127}, {"/no/such/program 'x y'", 127}};
  for (const auto& c : cases) {
    int status = call_system(c.first);
    ASSERT_TRUE(WIFEXITED(status)) << c.first;
    EXPECT_EQ(WEXITSTATUS(status), c.second) << c.first;
  }
  int killed = call_system("kill -KILL $$");
  EXPECT_TRUE(WIFSIGNALED(killed) && WTERMSIG(killed) == SIGKILL);

  // The line is one -c argument: quotes and $(...) are the shell's to read.
  std::string out = tree.at("out dir");
  makeDirs(out);
  EXPECT_EQ(call_system("printf '%s|' \"a b\" $(echo c d) 'e;f' > " +
                                      smart_quote(out + "/x")),
            0);
  EXPECT_EQ(readFile(out + "/x"), "a b|c|d|e;f|");
}

// unzip may catch the stop: one that goes on is killed after the grace. In
// a process of its own, as an interrupt stops every later command.
TEST(InterruptCommands, ACommandIgnoringTheStopIsKilledAfterTheGrace) {
  EXPECT_EXIT(
      {
        signal(SIGTERM, SIG_IGN);  // and so for the command, as under nohup
        std::thread stopper([] {
          std::this_thread::sleep_for(std::chrono::milliseconds(500));
          interruptCommands(SIGTERM, true);
        });
        ChildOptions options;
        options.killAfterGrace = true;
        const double started = now();
        int status = runCommand("sleep 30", options);
        const double took = now() - started;
        stopper.join();
        _exit(WTERMSIG(status) == SIGKILL && took > 3 && took < 6 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
