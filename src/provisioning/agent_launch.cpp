#include "provisioning/agent_launch.h"

#include <exception>

#include "common/text.h"
#include "platform/command_runner.h"
#include "platform/shell_words.h"

bool fireInstallAgentWithArgs(std::string prefix,
                              std::string payloadDir, int argc, char** argv,
                              ReportFn report) {
  try {
    std::string line = prefix + " -installbundle " +
                       smart_quote(joinPath(payloadDir, "bundle.zip"));
    if (argc > 1) line += " " + argv2cmdline(argc, argv);
    return call_system(line) == 0;
  } catch (const std::exception&) {
    report("Failed to start the install agent", true);
    return false;
  }
}
