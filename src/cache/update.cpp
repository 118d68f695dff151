#include "cache/update.h"

#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cache/agent_in_use.h"
#include "cache/leftovers.h"
#include "cache/locations.h"
#include "cache/lock.h"
#include "cache/signature_record.h"
#include "cache/validation_marker.h"
#include "common/installer_constants.h"
#include "common/text.h"
#include "platform/log.h"
#include "platform/remove_tree.h"
#include "platform/temp_dir.h"
#include "platform/unzip.h"

namespace {

// A directory this run made in the cache, locked while it exists (see
// cache_leftovers.h).
struct OwnedDirectory {
  std::string path;
  int lock = -1;

  ~OwnedDirectory() {
    if (!path.empty()) removeTree(path);
    if (lock >= 0) close(lock);
  }
  // Made and locked under the cache's lock, so no sweep sees it unlocked.
  bool make(const std::string& prefix) {
    path = makeUniqueDirectory(prefix);
    if (!path.empty()) lock = lockOwnedDirectory(path);
    return lock >= 0;
  }
};

std::string agentDirIn(const std::string& home) {
  return home + kInstallAgentDirName;
}

bool holdsAgent(const std::string& cacheDir) {
  return isAgentDirectory(agentDirIn(cacheDir));
}

bool cameFrom(const std::string& cacheDir, const std::string& sourceUrl) {
  std::string recorded;
  return readSourceUrl(cacheDir, &recorded) && recorded == sourceUrl;
}

// Without an ETag nothing vouches for an agent, not even an equal one; nor
// does the ETag of another URL, nor, for a bundle with keys, an agent that
// none of them signed.
bool isCurrent(const std::string& cacheDir, const std::string& validationString,
               const std::string& sourceUrl,
               const std::vector<PublicKey>* bundleKeys) {
  return !validationString.empty() && holdsAgent(cacheDir) &&
         isCacheValid(cacheDir, validationString) &&
         cameFrom(cacheDir, sourceUrl) &&
         (!bundleKeys || cachedAgentSignedBy(cacheDir, *bundleKeys));
}

bool removeFile(const std::string& path) {
  return remove(path.c_str()) == 0 || errno == ENOENT;
}

// The old marker must not vouch for the new agent, even for a moment.
bool removeMarker(const std::string& cacheDir) {
  return removeFile(joinPath(cacheDir, kValidationFileName)) &&
         removeFile(joinPath(cacheDir, kSourceUrlFileName)) &&
         removeSignatureRecord(cacheDir);
}

// The URL first: a marker never stands without the URL it vouches for;
// the signature record last, so that it never names an agent whose marker
// is not there yet.
void stampMarker(const std::string& cacheDir,
                 const std::string& validationString,
                 const std::string& sourceUrl, const AgentSigning* signing) {
  if (validationString.empty()) return;
  writeSourceUrl(cacheDir, sourceUrl);
  writeValidationString(cacheDir, validationString);
  if (signing) writeSignatureRecord(cacheDir, signing->signature);
}

// Swaps staging in for the current agent directory, which goes to retired
// (locked by this run until it is removed).
bool swapIn(OwnedDirectory& staging, const std::string& cacheDir,
            OwnedDirectory& retired) {
  const std::string agentDir = agentDirIn(cacheDir);
  if (!retired.make(joinPath(cacheDir, kRetiredPrefix))) return false;
  bool hadAgentDir = rename(agentDir.c_str(), retired.path.c_str()) == 0;
  if (hadAgentDir) {
    // The lock was on the empty directory that the old agent replaced.
    close(retired.lock);
    retired.lock = lockOwnedDirectory(retired.path);
  }
  if (rename(staging.path.c_str(), agentDir.c_str()) != 0) {
    if (hadAgentDir) rename(retired.path.c_str(), agentDir.c_str());
    return false;
  }
  staging.path.clear();  // it is the agent now
  return true;
}

enum class Placement { kInCache, kCacheBusy, kFailed };

// Puts the unpacked agent into the cache, unless an equal one is there
// already or a run is using the cached one. The retired agent is removed
// by the caller, after the lock.
Placement placeInCache(OwnedDirectory& staging, const std::string& cacheDir,
                       const std::string& validationString,
                       const std::string& sourceUrl,
                       const AgentSigning* signing, OwnedDirectory& retired) {
  CacheLock lock(cacheDir);
  const std::vector<PublicKey>* keys = signing ? &signing->bundleKeys : nullptr;
  if (isCurrent(cacheDir, validationString, sourceUrl, keys) &&
      holdCachedAgentInUse(cacheDir))
    return Placement::kInCache;
  AgentReplacement replacement(cacheDir);
  if (!replacement.granted()) return Placement::kCacheBusy;
  if (!removeMarker(cacheDir) || !swapIn(staging, cacheDir, retired))
    return Placement::kFailed;
  stampMarker(cacheDir, validationString, sourceUrl, signing);
  replacement.keepInUse();
  return Placement::kInCache;
}

// The agent goes to fallbackDir instead: moved there when it is on the
// same file system, else unpacked again.
bool placeAside(OwnedDirectory& staging, const std::string& archive,
                const std::string& fallbackDir, ReportFn report) {
  const std::string destination = agentDirIn(fallbackDir);
  logLine("The cached agent is running in another run; this run's agent "
          "runs from %s, and a later run updates the cache",
          destination.c_str());
  if (rename(staging.path.c_str(), destination.c_str()) == 0) {
    staging.path.clear();
    return true;
  }
  return unzipInstallAgent(archive, destination, "unzip", report) &&
         isAgentDirectory(destination);
}

}  // namespace

bool claimCachedAgent(const std::string& cacheDir,
                      const std::string& validationString,
                      const std::string& sourceUrl,
                      const std::vector<PublicKey>* bundleKeys) {
  CacheLock lock(cacheDir);
  return isCurrent(cacheDir, validationString, sourceUrl, bundleKeys) &&
         holdCachedAgentInUse(cacheDir);
}

std::string cachedValidationString(const std::string& cacheDir,
                                   const std::string& sourceUrl,
                                   const std::vector<PublicKey>* bundleKeys) {
  CacheLock lock(cacheDir);
  std::string validationString;
  if (!holdsAgent(cacheDir) ||
      !readValidationString(cacheDir, &validationString))
    return std::string();
  if (bundleKeys && !cachedAgentSignedBy(cacheDir, *bundleKeys)) {
    logLine("No key of this bundle vouches for the cached agent: it is "
            "fetched and verified again");
    return std::string();
  }
  if (!cameFrom(cacheDir, sourceUrl)) {
    logLine("The cached agent did not come from %s: it is fetched again",
            sourceUrl.c_str());
    return std::string();
  }
  return hasControlCharacter(validationString) ? std::string()
                                               : validationString;
}

std::string installDownloadedAgent(const std::string& archive,
                                   const std::string& cacheDir,
                                   const std::string& validationString,
                                   const std::string& sourceUrl,
                                   const std::string& fallbackDir,
                                   ReportFn report,
                                   const AgentSigning* signing) {
  OwnedDirectory staging, retired;
  {
    CacheLock lock(cacheDir);
    if (!staging.make(joinPath(cacheDir, kStagingPrefix))) return std::string();
  }
  // Unpacking takes a while, so it happens outside the lock.
  if (!unzipInstallAgent(archive, staging.path, "unzip", report) ||
      !isAgentDirectory(staging.path))
    return std::string();
  switch (placeInCache(staging, cacheDir, validationString, sourceUrl,
                       signing, retired)) {
    case Placement::kInCache:
      return cacheDir;
    case Placement::kCacheBusy:
      return placeAside(staging, archive, fallbackDir, report) ? fallbackDir
                                                               : std::string();
    case Placement::kFailed:
      break;
  }
  return std::string();
}
