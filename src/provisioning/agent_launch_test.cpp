#include "provisioning/agent_launch.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/run_record.h"
#include "platform/shell_words.h"
#include "support/captured_stderr.h"
#include "support/process.h"
#include "support/scratch_tree.h"

namespace {

using Strings = std::vector<std::string>;
std::vector<std::pair<std::string, bool>> reports;
void record(const std::string& m, bool isError) {
  reports.emplace_back(m, isError);
}

TEST(FireInstallAgent, AgentGetsBundleAndForwardedArgumentsExactly) {
  ScratchTree tree;
  std::string payload = tree.at("pay load $(x) ;'\"*"),
              agent = tree.at("a b/install");
  makeDirs(payload);
  makeDirs(tree.at("a b"));
  writeFile(agent,
            "printf '%s\\0' \"$@\" > " + smart_quote(tree.at("args")) + "\n");
  auto fire = [&](Strings args) {
    return fireInstallAgentWithArgs("sh " + smart_quote(agent), payload,
                                    static_cast<int>(args.size()),
                                    argvOf(args).data(), record);
  };
  reports.clear();
  const Strings cases[] = {
      {}, {"x"}, {""}, {"", "-s", "a b", "$(id)", ";", "*", "it's", ""}};
  for (const Strings& forwarded : cases) {
    Strings args = {"setup"},
            expected = {"-installbundle", payload + "/bundle.zip"};
    args.insert(args.end(), forwarded.begin(), forwarded.end());
    expected.insert(expected.end(), forwarded.begin(), forwarded.end());
    ASSERT_TRUE(fire(args));
    EXPECT_EQ(splitAtNul(readFile(tree.at("args"))), expected);
  }
  writeFile(agent, "echo cannot write >&2; exit 1\n");
  {
    CapturedStderr captured;  // a terminal's would not be kept
    EXPECT_FALSE(fire({"setup", "x"}));
  }
  EXPECT_EQ(agentLastLines(), Strings{"cannot write"});
  EXPECT_TRUE(reports.empty());
}

}  // namespace
