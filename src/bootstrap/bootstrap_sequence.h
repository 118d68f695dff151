#ifndef BOOTSTRAP_BOOTSTRAP_BOOTSTRAP_SEQUENCE_H_
#define BOOTSTRAP_BOOTSTRAP_BOOTSTRAP_SEQUENCE_H_

#include <string>

#include "common/report_fn.h"
#include "common/settings.h"

// One run: find or fetch the agent, run it on the payload with argv[1..],
// remove the scratch directory. 0 on success, -1 on failure.
// settings: what the run took from its environment.
int bootstrapInstallerMainFunc(int argc, char** argv, const Settings& settings,
                               ReportFn report);

// Unpacking the payload is left to the agent: does nothing, returns 0.
int extractPayloadToDir(std::string directory, bool flag, ReportFn report);

// The scratch directory, or the executable's directory when there is none
// or when unitTest (__ZR_BOOTSTRAP_INSTALLER_UNITTEST__ is set, even to "").
std::string chooseWorkingDirectory(const std::string& scratchDir,
                                   bool unitTest);

#endif
