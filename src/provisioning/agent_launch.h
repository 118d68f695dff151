#ifndef BOOTSTRAP_PROVISIONING_AGENT_LAUNCH_H_
#define BOOTSTRAP_PROVISIONING_AGENT_LAUNCH_H_

#include <string>

#include "common/report_fn.h"

// Runs prefix + " -installbundle " + <payloadDir>/bundle.zip + forwarded
// arguments and waits; true when it exits with status 0.
bool fireInstallAgentWithArgs(std::string prefix,
                              std::string payloadDir, int argc, char** argv,
                              ReportFn report);

#endif
