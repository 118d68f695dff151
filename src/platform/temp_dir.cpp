#include "platform/temp_dir.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/log.h"
#include "platform/remove_tree.h"

namespace {

std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

// mkdtemp below parent; empty when it cannot create the directory.
std::string makeScratchDirectory(std::string parent) {
  while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
  std::string dir = makeUniqueDirectory((parent == "/" ? "" : parent) + "/zr");
  return dir.empty() ? dir : absolute(dir);
}

// The directory's lock, then its marker: a sweep that sees the marker
// finds the lock held for as long as the run or its agent lives. The
// descriptor is deliberately inherited across exec: the agent, started
// without being tied to the run, may go on using the directory after the
// run was killed. It sits at 10 or above, where a shell script's own
// redirections (single digits) do not close it. -1 when the directory
// cannot be locked; it is then used unmarked, and never swept.
int lockAndMark(const std::string& dir) {
  int opened =
      open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (opened < 0) return -1;
  int fd = fcntl(opened, F_DUPFD, 10);
  close(opened);
  if (fd < 0) return -1;
  // Blocks only while a sweep looks at the directory and finds it unmarked.
  int locked;
  while ((locked = flock(fd, LOCK_SH)) != 0 && errno == EINTR) continue;
  int marker = -1;
  if (locked == 0)
    marker = openat(fd, kScratchMarker,
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (marker < 0) {
    close(fd);
    return -1;
  }
  close(marker);
  return fd;
}

}  // namespace

std::string makeUniqueDirectory(const std::string& prefix) {
  std::string pattern = prefix + "XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  return mkdtemp(buffer.data()) ? buffer.data() : "";
}

std::string temporaryRoot(const std::string& tmpdir) {
  if (tmpdir.empty()) return "/tmp";
  struct stat st;
  if (stat(tmpdir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
      !(st.st_mode & S_IWOTH) || (st.st_mode & S_ISVTX))
    return tmpdir;
  logLine("Not using TMPDIR=%s: others may write it and it has no sticky "
          "bit; using /tmp",
          tmpdir.c_str());
  return "/tmp";
}

TempDir::TempDir(const std::string& parent) {
  dir_ = makeScratchDirectory(parent);
  // A broken TMPDIR would otherwise send the agent's files into the
  // directory beside the bundle, where they stay and may overwrite others.
  if (dir_.empty() && parent != "/tmp") dir_ = makeScratchDirectory("/tmp");
  if (!dir_.empty()) lock_ = lockAndMark(dir_);
}

TempDir::~TempDir() {
  if (!dir_.empty()) removeTree(dir_);
  if (lock_ >= 0) close(lock_);
}

std::string TempDir::getDir() const { return dir_; }
