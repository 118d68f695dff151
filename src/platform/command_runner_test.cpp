#include "platform/command_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/shell_words.h"
#include "support/captured_stderr.h"
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

// Our standard error a file: the command's reaches it through us, byte for
// byte and at once (a prompt has no newline), and its last lines are kept.
TEST(RunCommand, RelaysStandardErrorAndKeepsItsLastLines) {
  ScratchTree tree;
  const std::string bytes = "one\n\x1b[31mred\x1b[0m\n50%\r100%\nask? ";
  const std::string script =
      "printf %s \"$1\" >&2; sleep 0.5; cat \"$2\" > \"$3\"; printf yes >&2; "
      "exit 3";
  std::vector<std::string> tail = {"from before"};
  ChildOptions options;
  options.errorTail = &tail;
  CapturedStderr captured;
  int status = runCommand("sh -c " + smart_quote(script) + " sh " +
                              smart_quote(bytes) + " " +
                              smart_quote(captured.path()) + " " +
                              smart_quote(tree.at("seen")),
                          options);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
  EXPECT_EQ(captured.text(), bytes + "yes");
  EXPECT_EQ(readFile(tree.at("seen")), bytes);
  EXPECT_EQ(tail, (std::vector<std::string>{"one", "red", "100%", "ask? yes"}));
}

// A program the command leaves running with its standard error does not
// keep the run waiting, and what it writes later still arrives.
TEST(RunCommand, AProgramLeftRunningKeepsItsStandardError) {
  std::vector<std::string> tail;
  ChildOptions options;
  options.errorTail = &tail;
  CapturedStderr captured;
  const double started = now();
  int status =
      runCommand("sh -c '(sleep 1; echo late >&2) & echo now >&2'", options);
  EXPECT_LT(now() - started, 0.8);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(tail, std::vector<std::string>{"now"});
  EXPECT_TRUE(waitFor([&] { return captured.text() == "now\nlate\n"; }, 5))
      << captured.text();
}

// On a terminal the command's standard error stays its own: it may colour
// it, draw progress or prompt there.
TEST(RunCommand, LeavesATerminalToTheCommand) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  int terminal = open(ptsname(master), O_RDWR | O_NOCTTY), saved = dup(2);
  ASSERT_TRUE(terminal >= 0 && saved >= 0 && dup2(terminal, 2) == 2);
  std::vector<std::string> tail = {"from before"};
  ChildOptions options;
  options.errorTail = &tail;
  int status = runCommand("sh -c '[ -t 2 ]'", options);
  dup2(saved, 2);
  for (int fd : {saved, terminal, master}) close(fd);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(tail.empty());
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
