#include "provisioning/shell_commands.h"

#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/scratch_tree.h"

namespace {

using Strings = std::vector<std::string>;
std::vector<std::pair<std::string, bool>> reports;
void record(const std::string& m, bool isError) {
  reports.emplace_back(m, isError);
}

Strings splitAtNul(const std::string& bytes) {
  Strings words;
  for (size_t start = 0, nul;
       (nul = bytes.find('\0', start)) != std::string::npos; start = nul + 1)
    words.push_back(bytes.substr(start, nul - start));
  return words;
}

// What /bin/sh makes of the given words as printf arguments.
Strings shellReads(const std::string& words) {
  ProcessResult r = runProcess({"/bin/sh", "-c", "printf '%s\\000' " + words},
                               {"PATH=/usr/bin:/bin"}, "", 20);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return splitAtNul(r.out);
}

std::vector<char*> argvOf(Strings& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  return argv;
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

// unzip reads the archive's name as a pattern: each archive must unpack
// itself, not a decoy its name would match as a pattern.
TEST(UnzipInstallAgent, UnpacksExactlyTheNamedArchive) {
  ScratchTree tree;
  makeDirs(tree.at("src"));
  int unpacked = 0;
  const std::pair<std::string, Strings> dirs[] = {
      {"in",
       {"a[1]x.zip", "a*?x.zip", "c\\[d.zip", "a\\b.zip", "with blank [1].zip",
        "q?.zip", "plain.zip"}},
      {"Setup [2]", {"InstallAgent.zip", "a[1]x.zip"}},
      {"back\\slash*?", {"a*?x.zip", "a\\b.zip"}},
  };
  for (const auto& dir : dirs) {
    makeDirs(tree.at(dir.first));
    Strings all = dir.second;
    for (const char* decoy :
         {"a1x.zip", "abcx.zip", "c[d.zip", "qq.zip", "with blank 1.zip"})
      all.push_back(decoy);
    for (const std::string& name : all) {
      writeFile(tree.at("src/install"), "from " + name);
      makeZip(tree.at("src/a.zip"), tree.at("src"), {"install"});
      ASSERT_EQ(rename(tree.at("src/a.zip").c_str(),
                       tree.at(dir.first + "/" + name).c_str()),
                0);
    }
    for (const std::string& name : dir.second) {
      std::string dest = tree.at("out" + std::to_string(++unpacked));
      reports.clear();
      EXPECT_TRUE(unzipInstallAgent(tree.at(dir.first + "/" + name), dest,
                                    "unzip", record));
      EXPECT_EQ(readFile(dest + "/install"), "from " + name);
      EXPECT_TRUE(reports.empty());
    }
  }
}

TEST(UnzipInstallAgent, MissingIsSilentCorruptIsReportedOnce) {
  ScratchTree tree;
  reports.clear();
  EXPECT_FALSE(
      unzipInstallAgent(tree.at("none.zip"), tree.at("out"), "unzip", record));
  EXPECT_TRUE(reports.empty());
  EXPECT_FALSE(pathExists(tree.at("out")));

  writeFile(tree.at("junk.zip"), "not a zip archive\n");
  EXPECT_FALSE(
      unzipInstallAgent(tree.at("junk.zip"), tree.at("out"), "unzip", record));
  EXPECT_EQ(reports,
            decltype(reports)({{"Failed to unzip the install agent", true}}));
}

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

// The caller blocks these signals for its signal thread; the command must
// still be stoppable by them.
TEST(CallSystem, CommandStartsWithNoSignalBlockedOrIgnored) {
  ScratchTree tree;
  sigset_t watched, previous;
  sigemptyset(&watched);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&watched, sig);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &watched, &previous), 0);
  // Through the shell, which execs the command, and started directly: each
  // grep reads its own mask.
  const std::string file = smart_quote(tree.at("status"));
  int viaShell =
      call_system("grep -E '^Sig(Blk|Ign)' /proc/self/status > " + file);
  int direct = call_system(
      "sh -c " +
      smart_quote("grep -E '^Sig(Blk|Ign)' /proc/self/status >> " + file));
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ASSERT_EQ(viaShell, 0);
  ASSERT_EQ(direct, 0);
  const std::string text = readFile(tree.at("status"));
  // Each grep wrote its blocked and ignored masks.
  const std::string blockedLine = "SigBlk:\t0000000000000000\n";
  size_t first = text.find(blockedLine);
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_NE(text.find(blockedLine, first + 1), std::string::npos) << text;
  // Bits 0, 1 and 14: HUP, INT and TERM.
  int masks = 0;
  for (size_t at = 0; (at = text.find("SigIgn:\t", at)) != std::string::npos;
       at += 8, ++masks) {
    unsigned long long ignored =
        std::stoull(text.substr(at + 8, 16), nullptr, 16);
    EXPECT_EQ(ignored & ((1ull << 0) | (1ull << 1) | (1ull << 14)), 0u)
        << text;
  }
  EXPECT_EQ(masks, 2) << text;
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
  writeFile(agent, "exit 1\n");
  EXPECT_FALSE(fire({"setup", "x"}));
  EXPECT_TRUE(reports.empty());
}

}  // namespace
