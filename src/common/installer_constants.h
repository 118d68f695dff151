#ifndef BOOTSTRAP_COMMON_INSTALLER_CONSTANTS_H_
#define BOOTSTRAP_COMMON_INSTALLER_CONSTANTS_H_

#include <string>

inline const std::string kPathSeparator = "/";
inline const std::string kReleaseLabel = "Q4711x";
inline const std::string kPlatformTag = "darw64";
inline const std::string kInstallAgentZipName = "InstallAgent.zip";
inline const std::string kInstallAgentDirName = "installagent";
// Built from its pieces so it follows the release label and platform tag.
inline const std::string kCacheRelativePath =
    ".tarvik" + kPathSeparator + "app_installer_cache" + kPathSeparator +
    kReleaseLabel + kPathSeparator + kPlatformTag + kPathSeparator;
inline const std::string kValidationFileName = ".validatestring";
// Beside the marker: the URL the cached agent came from.
inline const std::string kSourceUrlFileName = ".sourceurl";
// Beside the marker, with signed agents: the key id and the time of the
// signature that vouched for the cached agent.
inline const std::string kSignatureRecordFileName = ".agentsignature";
// The newest signature time taken for each URL and key, kept whatever
// agent the cache holds.
inline const std::string kRollbackFloorsFileName = ".agentfloors";
// Beside the marker: what the latest failed run said, for the user and
// for support; not hidden, as the failure window names it.
inline const std::string kFailureLogFileName = "last-failure.log";
// Beside the marker; held while the cached agent is decided on or replaced.
inline const std::string kLockFileName = ".lock";
// Beside the marker; held by every run whose agent runs from the cache.
inline const std::string kAgentInUseFileName = ".agent-in-use";
// Beside the marker: the bytes of a download that ended unfinished, kept
// for the next run; what they are (URL, validator, length) in the ".info"
// beside them; held by the run that downloads into them.
inline const std::string kPartialDownloadFileName = ".partial-download";
inline const std::string kPartialInfoFileName = ".partial-download.info";
inline const std::string kPartialLockFileName = ".partial-download.lock";
// The longest line a state file (the marker, installAgentURL.txt) or an
// ETag may hold; anything longer is taken as invalid, so a huge or sparse
// file cannot exhaust memory.
inline const size_t kMaxStateLineLength = 8192;

#endif
