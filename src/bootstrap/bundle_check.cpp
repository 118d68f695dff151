#include "bootstrap/bundle_check.h"

#include <sys/stat.h>

#include "common/installer_constants.h"
#include "provisioning/agent_sourcing.h"

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string bundleProblem(const std::string& resourceDir, bool urlOverridden) {
  const std::string dir = resourceDir + kPathSeparator;
  bool agentReachable =
      urlOverridden || exists(dir + "installAgentURL.txt") ||
      !findLocalInstallAgentArchive(dir + kInstallAgentZipName).empty();
  if (!agentReachable)
    return "No install agent and no installAgentURL.txt in " + resourceDir +
           ": this program runs only inside a bundle";
  if (!exists(dir + "bundle.zip"))
    return "The payload " + dir + "bundle.zip is missing";
  return "";
}
