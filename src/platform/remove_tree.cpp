#include "platform/remove_tree.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool removeEntryAt(int parentFd, const char* name);

// Empties the directory open as dirFd; takes ownership of dirFd.
bool removeContents(int dirFd) {
  DIR* dir = fdopendir(dirFd);
  if (!dir) {
    close(dirFd);
    return false;
  }
  bool ok = true;
  while (struct dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
      continue;
    ok = removeEntryAt(dirfd(dir), entry->d_name) && ok;
  }
  closedir(dir);
  return ok;
}

bool removeEntryAt(int parentFd, const char* name) {
  struct stat st;
  if (fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT;
  if (S_ISDIR(st.st_mode)) {
    fchmodat(parentFd, name, (st.st_mode & 07777) | S_IRWXU, 0);
    int fd = openat(parentFd, name,
                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || !removeContents(fd)) return false;
    return unlinkat(parentFd, name, AT_REMOVEDIR) == 0;
  }
  return unlinkat(parentFd, name, 0) == 0;
}

}  // namespace

bool removeTree(const std::string& path) {
  return removeEntryAt(AT_FDCWD, path.c_str());
}
