#ifndef BOOTSTRAP_DOWNLOAD_WINDOW_DOWNLOAD_ENTRY_H_
#define BOOTSTRAP_DOWNLOAD_WINDOW_DOWNLOAD_ENTRY_H_

#include "common/report_fn.h"

// Fetches the agent into the per-user cache in the download window. True
// when the cache now holds a current agent. Shows its own failures; never
// calls report.
bool downloadInstallAgentFromZR(const char* target, const char* url,
                                ReportFn report);

#endif
