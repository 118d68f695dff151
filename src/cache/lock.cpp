#include "cache/lock.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include "common/installer_constants.h"
#include "common/text.h"
#include "platform/log.h"

namespace {

const long kRetryNanoseconds = 10 * 1000 * 1000;

bool tryLock(int fd) {
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

CacheLock::CacheLock(const std::string& cacheDir, int patienceMs) {
  const std::string path = joinPath(cacheDir, kLockFileName);
  // Not through a link: the lock file is ours to make, in our directory.
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    if (errno != ENOENT)
      logLine("Cannot lock the agent cache (%s: %s); going on without",
              path.c_str(), strerror(errno));
    return;
  }
  const struct timespec pause = {0, kRetryNanoseconds};
  for (int waited = 0; !(held_ = tryLock(fd_)); waited += 10) {
    if (errno != EWOULDBLOCK || waited >= patienceMs) {
      logLine("Cannot lock the agent cache (%s: %s); going on without",
              path.c_str(),
              errno == EWOULDBLOCK ? "held too long by another run"
                                   : strerror(errno));
      return;
    }
    nanosleep(&pause, nullptr);
  }
}

CacheLock::~CacheLock() {
  // Closing the only descriptor of the open file releases the lock.
  if (fd_ >= 0) close(fd_);
}
