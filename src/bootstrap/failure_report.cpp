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
  // The agent's words go before the run's last line, which ends the tale.
  std::vector<std::string> lines = errors;
  auto at = lines.empty() ? lines.end() : lines.end() - 1;
  if (!agentLines.empty()) {
    at = lines.insert(at, "The install agent said:") + 1;
    lines.insert(at, agentLines.begin(), agentLines.end());
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
