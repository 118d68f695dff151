#include "platform/command_runner.h"

#include <pthread.h>
#include <signal.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/shell_words.h"
#include "support/scratch_tree.h"

namespace {

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

}  // namespace
