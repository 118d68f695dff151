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
    const std::vector<std::string>& agentLines, const std::string& logPath) {
  std::vector<std::string> lines = errors;
  if (!agentLines.empty()) {
    lines.push_back("The install agent said:");
    lines.insert(lines.end(), agentLines.begin(), agentLines.end());
  }
  const std::string where = whereTheDetailsAre(logPath);
  if (!where.empty()) lines.push_back(where);
  return lines;
}

void reportFailure(const Settings& settings, bool stoppedBySignal) {
  // A stop is no failure to look into: the last one's log stays.
  if (downloadWasCancelled() || stoppedBySignal) return;
  const std::string details = recordedText();
  const std::string logPath =
      keepFailureLog(getInstallAgentCacheDir(settings.home), details);
  if (downloadShowedFailure()) return;
  showFailureWindow(
      failureWindowLines(reportedErrors(), agentLastLines(), logPath), details,
      desktopWanted(settings));
}
