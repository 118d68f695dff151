#include "cache/trust.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/installer_constants.h"
#include "common/text.h"
#include "platform/log.h"

namespace {

enum class Kind { kDirectory, kStateFile };

// A state file of ours that others could write, inside directories nobody
// else can enter: an older install made it under a loose umask. Nobody
// else could have reached it, so their write is taken away; read is never
// added. A file with more links may be reached from elsewhere, so it is
// left as it is and the cache refused.
bool repairStateFile(const std::string& path, const struct stat& seen) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const mode_t before = seen.st_mode & 07777;
  const mode_t after = before & ~(S_IWGRP | S_IWOTH);
  const bool repaired = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                        st.st_nlink == 1 && st.st_dev == seen.st_dev &&
                        st.st_ino == seen.st_ino && fchmod(fd, after) == 0;
  close(fd);
  if (repaired)
    logLine("Repaired %s: others could write it (mode %04o, now %04o)",
            path.c_str(), static_cast<unsigned>(before),
            static_cast<unsigned>(after));
  return repaired;
}

// Checks one entry; a missing one passes.
bool isOwnedAndPrivate(const std::string& path, Kind kind, std::string* why) {
  const bool directory = kind == Kind::kDirectory;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (S_ISLNK(st.st_mode))
    *why = path + " is a symbolic link";
  else if (directory ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
    *why = path + " is not a " + (directory ? "directory" : "file");
  else if (st.st_uid != geteuid())
    *why = path + " belongs to another user";
  else if ((st.st_mode & (S_IWGRP | S_IWOTH)) &&
           (directory || !repairStateFile(path, st)))
    *why = path + " is writable by others";
  else
    return true;
  return false;
}

// Why a missing directory could not be made: what its nearest existing
// ancestor refuses (a read-only file system, a permission), else that it
// is missing.
std::string whyMissing(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  for (size_t slash; (slash = path.rfind('/')) != std::string::npos;) {
    path.resize(slash == 0 ? 1 : slash);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode) && access(path.c_str(), W_OK | X_OK) != 0)
      return strerror(errno);
    break;
  }
  return strerror(ENOENT);
}

}  // namespace

bool isCacheTrusted(const std::string& cacheDir, std::string* why) {
  // The home part is the user's to vouch for; the cache's own levels are
  // checked from the top down.
  std::string path = cacheDir.substr(0, cacheDir.size() -
                                            kCacheRelativePath.size());
  std::string levels = kCacheRelativePath + kInstallAgentDirName + "/";
  for (size_t slash; (slash = levels.find('/')) != std::string::npos;
       levels.erase(0, slash + 1)) {
    path += levels.substr(0, slash + 1);
    if (!isOwnedAndPrivate(path.substr(0, path.size() - 1), Kind::kDirectory,
                           why))
      return false;
  }
  // The directories are private by now, so the state files may be repaired.
  return isOwnedAndPrivate(joinPath(cacheDir, kValidationFileName),
                           Kind::kStateFile, why) &&
         isOwnedAndPrivate(joinPath(cacheDir, kSourceUrlFileName),
                           Kind::kStateFile, why) &&
         isOwnedAndPrivate(joinPath(cacheDir, kSignatureRecordFileName),
                           Kind::kStateFile, why) &&
         isOwnedAndPrivate(joinPath(cacheDir, kRollbackFloorsFileName),
                           Kind::kStateFile, why);
}

std::string agentHomeOf(const std::string& cacheDir,
                        const std::string& fallbackDir) {
  std::string why;
  if (isCacheUsable(cacheDir, &why)) return cacheDir;
  logLine("Not using the agent cache: %s; the agent goes into %s",
          why.c_str(), fallbackDir.c_str());
  return fallbackDir + "/";
}

bool isCacheUsable(const std::string& cacheDir, std::string* why) {
  if (!isCacheTrusted(cacheDir, why)) return false;
  struct stat st;
  std::string problem;
  if (stat(cacheDir.c_str(), &st) != 0)
    problem = errno == ENOENT ? whyMissing(cacheDir) : strerror(errno);
  else if (!S_ISDIR(st.st_mode))
    problem = "not a directory";
  else if (access(cacheDir.c_str(), W_OK | X_OK) != 0)
    problem = strerror(errno);
  else
    return true;
  *why = cacheDir + " cannot be written (" + problem + ")";
  return false;
}
