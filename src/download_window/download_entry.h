#ifndef BOOTSTRAP_DOWNLOAD_WINDOW_DOWNLOAD_ENTRY_H_
#define BOOTSTRAP_DOWNLOAD_WINDOW_DOWNLOAD_ENTRY_H_

#include <string>

#include "common/report_fn.h"
#include "common/settings.h"

// The archive's target path and URL, set before the window's loop runs
// and only read while it does.
extern std::string downloadTo;
extern std::string downloadFrom;

// Fetches the agent into the per-user cache in the download window, from
// url or from the settings' ZR_INTERNAL_INSTALL_AGENT_URL when that is set
// (even empty).
// True when an agent is ready to run; *agentDir is then the directory
// (ending in "/") that holds it: in the cache or, when the cache could not
// be used, beside the target. Shows its own failures in the window; report
// only reaches the unpacking step.
bool downloadInstallAgentFromZR(const char* target, const char* url,
                                const Settings& settings, ReportFn report,
                                std::string* agentDir);

// Closes the download window as its Cancel button would, cancelling the
// transfer, from any thread; the close also holds for a window not yet
// open, which then never starts its transfer. Its run then fails unless
// the cache already holds the agent. signalName (e.g. "SIGTERM") is what
// the log line about the cancel names.
void closeDownloadWindow(const char* signalName);

// Whether this run's download was cancelled: its window was closed before
// the agent was ready, with no failure on show. A user who cancelled has
// said no, and is told nothing more.
bool downloadWasCancelled();

// Whether this run's download window showed a failure: the user has seen
// why it failed, and needs no second window to say so.
bool downloadShowedFailure();

// Runs the download window's loop; the arguments are ignored, so the
// process's own command line never reaches the window layer. Nonzero when
// an agent is ready, *agentDir then naming its directory.
int CallNSApplicationMain(int argc, char** argv, std::string* agentDir);

#endif
