#include "cache/locations.h"

#include <errno.h>
#include <sys/stat.h>

#include "common/installer_constants.h"

std::string getInstallAgentCacheDir(const std::string& home) {
  std::string base = !home.empty() ? home : "/tmp";
  // A one-character base ("/") never gets a separator.
  if (base.size() >= 2 && base.back() != kPathSeparator[0])
    base += kPathSeparator;
  return base + kCacheRelativePath;
}

std::string getInstallAgentExecutable(std::string directory) {
  if (!directory.empty() && directory.back() != kPathSeparator[0])
    directory += kPathSeparator;
  return directory + "install";
}

bool isAgentDirectory(const std::string& directory) {
  struct stat st;
  return stat(getInstallAgentExecutable(directory).c_str(), &st) == 0 &&
         S_ISREG(st.st_mode);
}

std::string installAgentDirOnDisk(const std::string& home) {
  std::string dir =
      getInstallAgentCacheDir(home) + kInstallAgentDirName + kPathSeparator;
  return isAgentDirectory(dir) ? dir : "";
}

namespace {

// Makes sure one prefix of the path is a directory.
int ensureDirectory(const std::string& prefix, mode_t mode) {
  struct stat st;
  if (stat(prefix.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return 0;
    errno = ENOTDIR;
    return -1;
  }
  if (mkdir(prefix.c_str(), mode) == 0) return 0;
  // Made by someone else meanwhile, or a dangling symbolic link.
  if (errno == EEXIST && stat(prefix.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return 0;
    errno = ENOTDIR;
  }
  return -1;
}

}  // namespace

int mkpath(std::string path, mode_t mode) {
  const char sep = kPathSeparator[0];
  size_t start = 0;
  for (size_t slash = path.find(sep); slash != std::string::npos;
       slash = path.find(sep, start)) {
    // An empty component (leading or doubled separator) is skipped.
    if (slash != start &&
        ensureDirectory(path.substr(0, slash), mode) != 0)
      return -1;
    start = slash + 1;
  }
  return ensureDirectory(path, mode);
}
