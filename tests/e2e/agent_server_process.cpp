#include "e2e/agent_server_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

namespace {

std::vector<std::string> commandLine(const std::string& serverPath,
                                     const std::vector<std::string>& args) {
  std::vector<std::string> argv = {serverPath};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace

AgentServerProcess::AgentServerProcess(const std::string& serverPath,
                                       const std::vector<std::string>& args)
    : process_(commandLine(serverPath, args), {"PATH=/usr/bin:/bin"}, "") {
  for (int i = 0; i < 1000 && !process_.hasExited(); ++i) {
    std::string out = process_.outputSoFar();
    if (out.find('\n') != std::string::npos) {
      url_ = out.substr(0, out.find('\n'));
      return;
    }
    usleep(10 * 1000);
  }
  ADD_FAILURE() << "agent-server printed no URL: " << process_.wait(1).err;
}

std::string AgentServerProcess::origin() const {
  size_t path = url_.find('/', url_.find("://") + 3);
  return url_.substr(0, path);
}

ProcessResult AgentServerProcess::stop() {
  process_.sendSignal(SIGTERM);
  return process_.wait(5);
}
