#include "provisioning/agent_sourcing.h"

#include <dirent.h>
#include <sys/stat.h>

#include "cache/locations.h"
#include "common/installer_constants.h"
#include "common/text.h"
#include "download_window/download_entry.h"
#include "platform/bundle_paths.h"
#include "platform/unzip.h"
#include "provisioning/version_order.h"

namespace {

const char kFailedToInitialize[] = "Failed to initialize the install agent.";

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

const std::string kVersionedPrefix = "InstallAgent_";
const std::string kVersionedSuffix = ".zip";

bool isVersionedArchiveName(const std::string& name) {
  return name.size() >= kVersionedPrefix.size() + kVersionedSuffix.size() &&
         name.compare(0, kVersionedPrefix.size(), kVersionedPrefix) == 0 &&
         name.compare(name.size() - kVersionedSuffix.size(),
                      kVersionedSuffix.size(), kVersionedSuffix) == 0;
}

// The part of a versioned archive's name between prefix and suffix.
std::string versionOf(const std::string& name) {
  return name.substr(
      kVersionedPrefix.size(),
      name.size() - kVersionedPrefix.size() - kVersionedSuffix.size());
}

// Unpacks archive into destination and returns its "install"; an archive
// without one is no agent, whatever else it held.
std::string unpackAgent(const std::string& archive,
                        const std::string& destination, ReportFn report) {
  if (unzipInstallAgent(archive, destination, "unzip", report) &&
      isAgentDirectory(destination))
    return getInstallAgentExecutable(destination);
  report(kFailedToInitialize, true);
  return "";
}

}  // namespace

std::string findLocalInstallAgentArchive(const std::string& defaultLocation) {
  if (exists(defaultLocation)) return defaultLocation;
  std::string searchDir = cutAtLastSeparator(defaultLocation);
  DIR* dir = opendir(searchDir.c_str());
  if (!dir) return "";
  // The highest version, whatever order the directory lists them in.
  std::string highest;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (isVersionedArchiveName(name) &&
        (highest.empty() ||
         compareVersions(versionOf(name), versionOf(highest)) > 0))
      highest = name;
  }
  closedir(dir);
  return highest.empty() ? "" : joinPath(searchDir, highest);
}

std::string sourceInstallAgentWith(const std::string& workingDir,
                                   const std::string& endpointUrl,
                                   const Settings& settings,
                                   DownloadFn download, ReportFn report) {
  std::string archive =
      findLocalInstallAgentArchive(getDefaultInstallAgentLocation());
  if (!archive.empty()) return unpackAgent(archive, workingDir, report);

  std::string cachedAgentDir =
      getInstallAgentCacheDir(settings.home) + kInstallAgentDirName;
  mkpath(cachedAgentDir, 0700);  // the window says why it cannot be used
  std::string target = joinPath(workingDir, kInstallAgentZipName);
  std::string agentDir;
  if (!download(target.c_str(), endpointUrl.c_str(), settings, report,
                &agentDir))
    return "";
  if (isAgentDirectory(agentDir)) return getInstallAgentExecutable(agentDir);
  report(kFailedToInitialize, true);
  return "";
}

std::string sourceInstallAgent(std::string workingDir, std::string endpointUrl,
                               const Settings& settings, ReportFn report) {
  return sourceInstallAgentWith(workingDir, endpointUrl, settings,
                                downloadInstallAgentFromZR, report);
}
