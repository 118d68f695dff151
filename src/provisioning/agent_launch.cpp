#include "provisioning/agent_launch.h"

#include <exception>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/command_runner.h"
#include "platform/run_record.h"
#include "platform/shell_words.h"

bool fireInstallAgentWithArgs(std::string prefix,
                              std::string payloadDir, int argc, char** argv,
                              ReportFn report) {
  try {
    std::string line = prefix + " -installbundle " +
                       smart_quote(joinPath(payloadDir, "bundle.zip"));
    if (argc > 1) line += " " + argv2cmdline(argc, argv);
    // Its last words on standard error, for the failure window and log.
    std::vector<std::string> lastLines;
    ChildOptions options;
    options.errorTail = &lastLines;
    int status = runCommand(line, options);
    recordAgentLastLines(lastLines);
    return status == 0;
  } catch (const std::exception&) {
    report("Failed to start the install agent", true);
    return false;
  }
}
