#include "platform/state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>

#include <gtest/gtest.h>

#include "common/installer_constants.h"
#include "support/captured_stderr.h"
#include "support/scratch_tree.h"

namespace {

TEST(FirstLine, NoLongerThanTheLimit) {
  const std::string line(kMaxStateLineLength, 'a');
  const std::pair<std::string, bool> cases[] = {
      {line, true},
      {line + "\nmore", true},
      {line.substr(1) + "\n" + line + "b", true},
      {line + "b", false},
      {line + "b\n", false}};
  ScratchTree tree;
  const std::string path = tree.at("state");
  for (const auto& c : cases) {
    writeFile(path, c.first);
    std::string read = "unset";
    CapturedStderr log;
    EXPECT_EQ(readFirstLine(path, &read), c.second) << c.first.size();
    if (c.second) {
      EXPECT_EQ(read, c.first.substr(0, c.first.find('\n')));
      EXPECT_EQ(log.text(), "");
    } else {
      EXPECT_TRUE(isOneLineHolding(log.text(), path + ": line too long"))
          << log.text();
    }
  }
}

// A sparse file costs nothing to make; read whole, it would take
// gigabytes and seconds.
TEST(FirstLine, HugeSparseFileIsReadOnlyUpToTheLimit) {
  ScratchTree tree;
  const std::string path = tree.at("state");
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 1L << 30), 0);
  close(fd);
  std::string read;
  CapturedStderr log;
  auto began = std::chrono::steady_clock::now();
  EXPECT_FALSE(readFirstLine(path, &read));
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
  EXPECT_LT(took.count(), 1.0) << "seconds";
  EXPECT_TRUE(isOneLineHolding(log.text(), path + ": line too long"))
      << log.text();
}

}  // namespace
