#include "platform/scratch_sweep.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/text.h"
#include "platform/log.h"
#include "platform/remove_tree.h"
#include "platform/temp_dir.h"

namespace {

bool isScratchName(const std::string& name) {
  return name.size() == 8 && name.compare(0, 2, "zr") == 0;
}

// The directory, locked and ours until closed, when its run is gone: the
// run marked it only once it held the lock, so a marked directory whose
// lock is free has no run left, nor an agent that inherited the lock. The
// marker is looked for under the lock, so that a directory another sweep
// is removing is passed by. -1 for anything else.
int claimIfAbandoned(int parentFd, const char* name) {
  int fd =
      openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_uid == getuid() &&
      flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      fstatat(fd, kScratchMarker, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(st.st_mode))
    return fd;
  close(fd);
  return -1;
}

}  // namespace

void removeAbandonedScratch(const std::string& parent) {
  DIR* dir = opendir(parent.c_str());
  if (!dir) return;
  while (struct dirent* entry = readdir(dir)) {
    if (!isScratchName(entry->d_name)) continue;
    int fd = claimIfAbandoned(dirfd(dir), entry->d_name);
    if (fd < 0) continue;
    std::string path = joinPath(parent, entry->d_name);
    if (removeTree(path))
      logLine("Removed the scratch directory of an earlier run: %s",
              path.c_str());
    close(fd);
  }
  closedir(dir);
}
