#ifndef BOOTSTRAP_BOOTSTRAP_FAILURE_REPORT_H_
#define BOOTSTRAP_BOOTSTRAP_FAILURE_REPORT_H_

#include <string>
#include <vector>

#include "common/settings.h"

// What the failure window says: the run's error lines with what the install
// agent last wrote to standard error (if anything) before the last of them,
// and where the details were kept (logPath), or why they were not.
std::vector<std::string> failureWindowLines(
    const std::vector<std::string>& errors,
    const std::vector<std::string>& agentLines, const std::string& logPath,
    const std::string& whyNotKept);

// Once the run has failed and said so: keeps what it said as the failure
// log, and shows one window that says why, unless the user cancelled or a
// signal stopped the run (whoever it was wants the run over) or the
// download window showed the failure already.
void reportFailure(const Settings& settings, bool stoppedBySignal);

#endif
