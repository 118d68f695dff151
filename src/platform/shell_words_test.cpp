#include "platform/shell_words.h"

#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "support/process.h"

namespace {

using Strings = std::vector<std::string>;

// What /bin/sh makes of the given words as printf arguments.
Strings shellReads(const std::string& words) {
  ProcessResult r = runProcess({"/bin/sh", "-c", "printf '%s\\000' " + words},
                               {"PATH=/usr/bin:/bin"}, "", 20);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return splitAtNul(r.out);
}

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

TEST(SmartQuote, ShellReadsEveryWordBackUnchanged) {
  Strings words = {
      "'",     "\"",       "it's",    "\\",    "a\\b", "\\'",        "a\nb",
      "~",     "~root",    "#x",      "a #b",  "-n",   "$(echo no)", "${HOME}",
      "$",     "`id`",     "a;b",     "*",     "?",    "[",          "[a]",
      "{a,b}", "!",        "a=b",     " ",     "\t",   " lead",      "a\tb c",
      "\x80",  "\xff\xfe", "\"a b\"", "a&b|c", "<x>",  "(x)",        "''"};
  // Thirds: any byte, the blanks-only shape, dense shell syntax.
  const std::string plain = "azAZ09_-./:@%+,  \t";
  const std::string shellish = plain + "'\"\\$`~#;&|<>()*?[]{}!=^\n";
  std::mt19937 rng(20240611);
  for (int i = 0; i < 3000; ++i) {
    std::string word(1 + rng() % 24, ' ');
    for (char& c : word)
      c = i % 3 == 0   ? static_cast<char>(1 + rng() % 255)
          : i % 3 == 1 ? plain[rng() % plain.size()]
                       : shellish[rng() % shellish.size()];
    words.push_back(word);
  }
  for (size_t first = 0; first < words.size(); first += 300) {
    Strings batch(words.begin() + first,
                  words.begin() + std::min(words.size(), first + 300));
    std::string script;
    for (const std::string& word : batch) script += " " + smart_quote(word);
    Strings back = shellReads(script);
    ASSERT_EQ(back.size(), batch.size()) << "a word split or vanished";
    for (size_t i = 0; i < batch.size(); ++i)
      ASSERT_EQ(back[i], batch[i]) << "quoted as " << smart_quote(batch[i]);
  }
}

TEST(SmartQuote, FixedShapes) {
  EXPECT_EQ(smart_quote("/tmp/work/InstallAgent.zip"),
            "/tmp/work/InstallAgent.zip");
  EXPECT_EQ(smart_quote("/Users/Shared/Agent Cache"),
            "\"/Users/Shared/Agent Cache\"");
  EXPECT_EQ(smart_quote("a\tb"), "\"a\tb\"");
  EXPECT_EQ(smart_quote(""), "");
}

TEST(Argv2Cmdline, ShapesAndShellRoundTrip) {
  EXPECT_EQ(argv2cmdline(0, nullptr), "");
  Strings one = {"setup"}, three = {"setup", "x", "y z"}, empty = {"setup", ""};
  EXPECT_EQ(argv2cmdline(1, argvOf(one).data()), "");
  EXPECT_EQ(argv2cmdline(3, argvOf(three).data()), "x \"y z\" ");
  EXPECT_EQ(argv2cmdline(2, argvOf(empty).data()), "'' ");

  Strings args = {"setup", "",      "two words", "",   "$(echo no)", "a;b", "*",
                  "it's",  "\"q\"", "\\",        "-v", "a\nb",       ""};
  Strings copy = args;
  EXPECT_EQ(shellReads(argv2cmdline(static_cast<int>(copy.size()),
                                    argvOf(copy).data())),
            Strings(args.begin() + 1, args.end()));
}

}  // namespace
