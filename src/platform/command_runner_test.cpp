#include "platform/command_runner.h"

#include <signal.h>
#include <sys/wait.h>

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/shell_words.h"
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

}  // namespace
