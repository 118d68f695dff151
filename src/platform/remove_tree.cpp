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

// Opens the directory name that fstatat saw as seen, opened up for its
// owner. The name may have been swapped for a link or another directory
// since: nothing is changed through a link, and what opens must be what
// was seen (-1 otherwise).
int openDirectoryAt(int parentFd, const char* name, const struct stat& seen) {
  const mode_t openedUp = (seen.st_mode & 07777) | S_IRWXU;
  // Unreadable, it cannot be opened to be changed through its descriptor.
  if (!(seen.st_mode & S_IRUSR))
    fchmodat(parentFd, name, openedUp, AT_SYMLINK_NOFOLLOW);
  int fd = openat(parentFd, name,
                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_dev != seen.st_dev ||
      st.st_ino != seen.st_ino) {
    close(fd);
    return -1;
  }
  if ((st.st_mode & S_IRWXU) != S_IRWXU) fchmod(fd, openedUp);
  return fd;
}

bool removeEntryAt(int parentFd, const char* name) {
  struct stat st;
  if (fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return unlinkat(parentFd, name, 0) == 0;
  int fd = openDirectoryAt(parentFd, name, st);
  if (fd < 0 || !removeContents(fd)) return false;
  return unlinkat(parentFd, name, AT_REMOVEDIR) == 0;
}

}  // namespace

bool removeTree(const std::string& path) {
  return removeEntryAt(AT_FDCWD, path.c_str());
}
