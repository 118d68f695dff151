#include "provisioning/cache_update.h"

#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>

#include "platform/remove_tree.h"
#include "platform/temp_dir.h"
#include "provisioning/cache_lock.h"
#include "provisioning/cache_locations.h"
#include "provisioning/installer_constants.h"
#include "provisioning/shell_commands.h"
#include "provisioning/validation_marker.h"

namespace {

bool isAgent(const std::string& dir) {
  struct stat st;
  return stat(getInstallAgentExecutable(dir).c_str(), &st) == 0;
}

// Swaps staging in for the current agent directory; the old one is removed.
bool moveIntoPlace(const std::string& staging, const std::string& agentDir,
                   const std::string& cacheDir) {
  std::string old = makeUniqueDirectory(cacheDir + ".installagent-old-");
  if (old.empty()) return false;
  bool hadAgentDir = rename(agentDir.c_str(), old.c_str()) == 0;
  bool moved = rename(staging.c_str(), agentDir.c_str()) == 0;
  if (!moved && hadAgentDir) rename(old.c_str(), agentDir.c_str());
  removeTree(old);
  return moved;
}

bool holdsAgent(const std::string& cacheDir) {
  return isAgent(cacheDir + kInstallAgentDirName + kPathSeparator);
}

// Without an ETag nothing vouches for an agent, not even an equal one.
bool isCurrent(const std::string& cacheDir,
               const std::string& validationString) {
  return !validationString.empty() && holdsAgent(cacheDir) &&
         isCacheValid(cacheDir, validationString);
}

// The old marker must not vouch for the new agent, even for a moment.
bool removeMarker(const std::string& cacheDir) {
  std::string marker = cacheDir + kPathSeparator + kValidationFileName;
  return remove(marker.c_str()) == 0 || errno == ENOENT;
}

}  // namespace

bool isCachedAgentCurrent(const std::string& cacheDir,
                          const std::string& validationString) {
  CacheLock lock(cacheDir);
  return isCurrent(cacheDir, validationString);
}

std::string cachedAgentValidator(const std::string& cacheDir) {
  CacheLock lock(cacheDir);
  std::string validator;
  if (!holdsAgent(cacheDir) || !readValidationString(cacheDir, &validator))
    return std::string();
  for (unsigned char c : validator)
    if (c < 0x20 || c == 0x7f) return std::string();
  return validator;
}

bool installDownloadedAgent(const std::string& archive,
                            const std::string& cacheDir,
                            const std::string& validationString,
                            ReportFn report) {
  std::string staging = makeUniqueDirectory(cacheDir + ".installagent-new-");
  if (staging.empty()) return false;
  // Unpacking takes a while, so it happens before the lock is taken.
  bool installed =
      unzipInstallAgent(archive, staging, "unzip", report) && isAgent(staging);
  if (installed) {
    CacheLock lock(cacheDir);
    if (isCurrent(cacheDir, validationString)) {
      removeTree(staging);
      return true;
    }
    installed = removeMarker(cacheDir) &&
                moveIntoPlace(staging, cacheDir + kInstallAgentDirName, cacheDir);
    if (installed) writeValidationString(cacheDir, validationString);
  }
  if (!installed) removeTree(staging);
  return installed;
}
