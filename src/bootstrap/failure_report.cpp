#include "bootstrap/failure_report.h"

#include "bootstrap/console_reporter.h"
#include "cache/failure_log.h"
#include "cache/locations.h"
#include "download_window/download_entry.h"
#include "platform/run_record.h"
#include "ui/backend.h"
#include "ui/failure_window.h"

std::vector<std::string> failureWindowLines(
    const std::vector<std::string>& errors,
    const std::vector<std::string>& agentLines, const std::string& logPath,
    const std::string& whyNotKept) {
  std::vector<std::string> lines = errors;
  if (!agentLines.empty()) {
    lines.push_back("The install agent said:");
    lines.insert(lines.end(), agentLines.begin(), agentLines.end());
  }
  lines.push_back(whereTheDetailsAre(logPath, whyNotKept));
  return lines;
}

void reportFailure(const Settings& settings, bool stoppedBySignal) {
  // A stop is no failure to look into: the last one's log stays.
  if (downloadWasCancelled() || stoppedBySignal) return;
  const std::string details = recordedText();
  std::string why;
  const std::string logPath =
      keepFailureLog(getInstallAgentCacheDir(settings.home), details, &why);
  if (downloadShowedFailure()) return;
  showFailureWindow(
      failureWindowLines(reportedErrors(), agentLastLines(), logPath, why),
      details, desktopWanted(settings));
}
