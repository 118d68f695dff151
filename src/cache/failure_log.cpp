#include "cache/failure_log.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "cache/locations.h"
#include "cache/lock.h"
#include "cache/trust.h"
#include "common/installer_constants.h"
#include "common/write_all.h"

namespace {

// Writes text into a new file at path, mode 0600, in place of whatever
// was there (a killed run's, a link): nothing else is written into.
bool writePrivateFile(const std::string& path, const std::string& text) {
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  int fd = open(path.c_str(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool written = writeAll(fd, text.data(), text.size());
  int saved = errno;
  if (close(fd) != 0 && written) return false;
  errno = saved;
  return written;
}

// Whether the log may go into cacheDir, made when missing: else why not.
bool mayKeepIn(const std::string& cacheDir, std::string* why) {
  if (mkpath(cacheDir, 0700) == 0) return isCacheTrusted(cacheDir, why);
  *why = strerror(errno);
  return false;
}

}  // namespace

std::string keepFailureLog(const std::string& cacheDir,
                           const std::string& text, std::string* why) {
  if (!mayKeepIn(cacheDir, why)) return "";
  const std::string path = cacheDir + kFailureLogFileName;
  const std::string fresh = path + ".new";
  // Two runs failing at once must not write one file together.
  CacheLock lock(cacheDir, 1000);
  if (!writePrivateFile(fresh, text) ||
      rename(fresh.c_str(), path.c_str()) != 0) {
    *why = path + ": " + strerror(errno);
    unlink(fresh.c_str());
    return "";
  }
  return path;
}

std::string whereTheDetailsAre(const std::string& logPath,
                               const std::string& why) {
  if (!logPath.empty()) return "The details are in " + logPath + ".";
  return "The details could not be kept in a file (" + why + ").";
}
