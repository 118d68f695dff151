#include "download_window/download_entry.h"

// The download window is not built yet: without a shipped agent archive
// there is no agent to run, and the caller reports the failure.
bool downloadInstallAgentFromZR(const char* /*target*/, const char* /*url*/,
                                ReportFn /*report*/) {
  return false;
}
