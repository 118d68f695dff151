#include "platform/pipes.h"

#include <fcntl.h>
#include <unistd.h>

bool openPipe(int fds[2], PipeMode mode) {
  int flags = O_CLOEXEC | (mode == PipeMode::kNonBlocking ? O_NONBLOCK : 0);
  return pipe2(fds, flags) == 0;
}
