#include "bootstrap/bootstrap_sequence.h"

#include "bootstrap/bundle_check.h"
#include "bootstrap/credentials.h"
#include "common/text.h"
#include "platform/bundle_paths.h"
#include "platform/scratch_sweep.h"
#include "platform/shell_words.h"
#include "platform/temp_dir.h"
#include "provisioning/agent_launch.h"
#include "provisioning/agent_sourcing.h"
#include "provisioning/endpoint_file.h"

int extractPayloadToDir(std::string /*directory*/, bool /*flag*/,
                        ReportFn /*report*/) {
  return 0;
}

std::string chooseWorkingDirectory(const std::string& scratchDir,
                                   bool unitTest) {
  if (scratchDir.empty() || unitTest)
    return getDirectoryOfExecutable();
  return scratchDir;
}

namespace {

int runInWorkingDirectory(const std::string& workingDir, int argc,
                          char** argv, const Settings& settings,
                          ReportFn report) {
  std::string payloadDir = getBundleLocation();
  int status = extractPayloadToDir(workingDir, false, report);
  if (status != 0) {
    report("Internal error: Failed to initialize application installer (" +
               std::to_string(status) + ")",
           true);
    return -1;
  }
  std::string url = readEndpointUrlFile(
      joinPath(payloadDir, "installAgentURL.txt"), report);
  hideCredentialsOf(url);
  std::string agent = sourceInstallAgent(workingDir, url, settings, report);
  if (agent.empty()) return -1;
  if (!fireInstallAgentWithArgs("sh " + smart_quote(agent), payloadDir,
                                argc, argv, report)) {
    report("Application install was not successful.", true);
    return -1;
  }
  return 0;
}

}  // namespace

int bootstrapInstallerMainFunc(int argc, char** argv, const Settings& settings,
                               ReportFn report) {
  // Before anything is made: started from elsewhere, nothing could come of
  // the run but a download from nowhere and a cache under HOME.
  std::string problem =
      bundleProblem(getBundleLocation(), settings.agentUrl.has_value());
  if (!problem.empty()) {
    report(problem, true);
    return -1;
  }
  const std::string temporary = temporaryRoot(settings.tmpdir);
  removeAbandonedScratch(temporary);
  TempDir scratch(temporary);
  return runInWorkingDirectory(
      chooseWorkingDirectory(scratch.getDir(), settings.unitTest), argc, argv,
      settings, report);
}
