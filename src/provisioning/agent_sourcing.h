#ifndef BOOTSTRAP_PROVISIONING_AGENT_SOURCING_H_
#define BOOTSTRAP_PROVISIONING_AGENT_SOURCING_H_

#include <string>

#include "common/report_fn.h"
#include "common/settings.h"

// Finds or fetches the install agent; the path of its "install" script, or
// empty on failure. A shipped archive is unpacked into workingDir; without
// one the agent comes from the per-user cache through the download window.
std::string sourceInstallAgent(std::string workingDir, std::string endpointUrl,
                               const Settings& settings, ReportFn report);

typedef bool (*DownloadFn)(const char* target, const char* url,
                           const Settings& settings, ReportFn report,
                           std::string* agentDir);

// The same with the download step given, so it can be exercised alone.
std::string sourceInstallAgentWith(const std::string& workingDir,
                                   const std::string& endpointUrl,
                                   const Settings& settings,
                                   DownloadFn download, ReportFn report);

// The shipped agent archive: the default one when it exists, else the
// "InstallAgent_*.zip" beside it with the highest version (compareVersions
// of the part that "*" stands for); empty when there is none.
std::string findLocalInstallAgentArchive(const std::string& defaultLocation);

#endif
