#ifndef BOOTSTRAP_BOOTSTRAP_BUNDLE_CHECK_H_
#define BOOTSTRAP_BOOTSTRAP_BUNDLE_CHECK_H_

#include <string>

// Why a run from the resource directory resourceDir cannot install, in one
// line, or empty when it can: it needs a way to the agent (a shipped agent
// archive, installAgentURL.txt, or urlOverridden:
// ZR_INTERNAL_INSTALL_AGENT_URL is set), and the payload bundle.zip.
std::string bundleProblem(const std::string& resourceDir, bool urlOverridden);

#endif
