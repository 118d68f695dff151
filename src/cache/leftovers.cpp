#include "cache/leftovers.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "cache/lock.h"
#include "platform/remove_tree.h"

namespace {

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

int openDirectory(const std::string& path) {
  return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// A leftover's run is gone when its lock is free: it is then ours, held
// until it is removed, so that no other run sweeps it at the same time.
int claimIfAbandoned(const std::string& path) {
  int fd = openDirectory(path);
  if (fd < 0) return -1;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) {
      close(fd);
      return -1;
    }
  }
  return fd;
}

// Leftovers are only ever made under the cache's lock, so each one seen
// here is locked by its run already, unless that run is gone.
std::vector<std::pair<std::string, int>> claimAbandoned(
    const std::string& cacheDir) {
  std::vector<std::pair<std::string, int>> claimed;
  CacheLock lock(cacheDir);
  DIR* dir = opendir(cacheDir.c_str());
  if (!dir) return claimed;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (!startsWith(name, kStagingPrefix) && !startsWith(name, kRetiredPrefix))
      continue;
    int fd = claimIfAbandoned(cacheDir + name);
    if (fd >= 0) claimed.emplace_back(cacheDir + name, fd);
  }
  closedir(dir);
  return claimed;
}

}  // namespace

int lockOwnedDirectory(const std::string& path) {
  int fd = openDirectory(path);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_SH | LOCK_NB) == 0) return fd;
  close(fd);
  return -1;
}

void removeLeftovers(const std::string& cacheDir) {
  // Removing a large agent takes a while: not under the cache's lock.
  for (const auto& leftover : claimAbandoned(cacheDir)) {
    removeTree(leftover.first);
    close(leftover.second);
  }
}
