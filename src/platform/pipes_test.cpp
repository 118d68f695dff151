#include "platform/pipes.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// An end left open in a child would keep the reader waiting for an end
// of file that never comes.
TEST(OpenPipe, BothEndsCloseOnExecAndBlockOnlyWhenAsked) {
  for (PipeMode mode : {PipeMode::kBlocking, PipeMode::kNonBlocking}) {
    const bool nonBlocking = mode == PipeMode::kNonBlocking;
    SCOPED_TRACE(nonBlocking ? "non-blocking" : "blocking");
    int fds[2];
    ASSERT_TRUE(openPipe(fds, mode));
    for (int fd : fds) {
      EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
      EXPECT_EQ((fcntl(fd, F_GETFL) & O_NONBLOCK) != 0, nonBlocking);
      close(fd);
    }
  }
}

}  // namespace
