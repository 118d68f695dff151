#include "cache/agent_in_use.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/installer_constants.h"
#include "common/text.h"
#include "platform/log.h"

namespace {

// Not through a link: the file is ours to make, in our directory. Close on
// exec, so the lock lasts as long as this process and no longer.
int openInUseFile(const std::string& cacheDir) {
  const std::string path = joinPath(cacheDir, kAgentInUseFileName);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0)
    logLine("Cannot lock the agent in use (%s: %s)", path.c_str(),
            strerror(errno));
  return fd;
}

bool lockWithoutWaiting(int fd, int operation) {
  while (flock(fd, operation | LOCK_NB) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

bool holdCachedAgentInUse(const std::string& cacheDir) {
  int fd = openInUseFile(cacheDir);
  if (fd < 0) return false;
  if (lockWithoutWaiting(fd, LOCK_SH)) return true;  // fd stays open
  close(fd);
  return false;
}

AgentReplacement::AgentReplacement(const std::string& cacheDir)
    : fd_(openInUseFile(cacheDir)) {
  granted_ = fd_ >= 0 && lockWithoutWaiting(fd_, LOCK_EX);
}

AgentReplacement::~AgentReplacement() {
  if (fd_ >= 0) close(fd_);
}

void AgentReplacement::keepInUse() {
  // Turning exclusive into shared cannot wait: nobody else holds it.
  if (granted_ && flock(fd_, LOCK_SH) == 0) fd_ = -1;
}
