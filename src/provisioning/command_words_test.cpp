#include "provisioning/command_words.h"

#include <random>

#include <gtest/gtest.h>

#include "provisioning/shell_commands.h"

namespace {

using Strings = std::vector<std::string>;

// Whatever smart_quote and argv2cmdline write, the words come back as the
// shell would read them (which the shell-backed tests of quoting check).
TEST(ReadQuotedWords, ReadsBackWhatQuotingWrote) {
  std::mt19937 rng(20261207);
  for (int i = 0; i < 2000; ++i) {
    Strings args = {"setup"};
    for (int n = rng() % 5; n > 0; --n) {
      std::string arg(rng() % 12, ' ');
      for (char& c : arg) c = static_cast<char>(1 + rng() % 255);
      args.push_back(arg);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    const std::string program = "/opt/My Agent/it's";
    std::string line = "sh " + smart_quote(program) + " -installbundle " +
                       smart_quote("/b/bundle.zip") + " " +
                       argv2cmdline(static_cast<int>(argv.size()), argv.data());
    Strings words;
    ASSERT_TRUE(readQuotedWords(line, &words)) << line;
    Strings expected = {"sh", program, "-installbundle", "/b/bundle.zip"};
    expected.insert(expected.end(), args.begin() + 1, args.end());
    ASSERT_EQ(words, expected) << line;
  }
}

// Lines only the shell can run: syntax, expansions, and first words it
// does not look up on PATH.
TEST(ReadQuotedWords, LeavesAnythingElseToTheShell) {
  const char* lines[] = {
      "",          "   ",        "A=b prog",   "if true",    "echo hi",
      "exit 3",    "true",       ". ./x",      "prog $(x)",  "prog `x`",
      "prog a;b",  "prog a|b",   "prog a>b",   "prog ~",     "prog #c",
      "prog \"a$b c\"", "prog 'open", "prog \"open", "prog\targ",
      "prog a\\b", "prog *",     "prog a\nb",  "{ prog; }",
  };
  for (const char* line : lines) {
    Strings words;
    EXPECT_FALSE(readQuotedWords(line, &words)) << line;
  }
  Strings words;
  ASSERT_TRUE(readQuotedWords("unzip -qq -o '/a b/x'\\''y.zip' -d \"/c d\" ''",
                              &words));
  EXPECT_EQ(words, (Strings{"unzip", "-qq", "-o", "/a b/x'y.zip", "-d",
                            "/c d", ""}));
}

}  // namespace
