#ifndef BOOTSTRAP_TESTS_E2E_AGENT_SERVER_PROCESS_H_
#define BOOTSTRAP_TESTS_E2E_AGENT_SERVER_PROCESS_H_

#include <string>
#include <vector>

#include "support/process.h"

// The agent-server tool at serverPath, run for one test with args; killed
// when the test is done with it.
class AgentServerProcess {
 public:
  AgentServerProcess(const std::string& serverPath,
                     const std::vector<std::string>& args);

  // The URL it printed once it listened; empty (and a test failure) when
  // it printed none within 10 s.
  const std::string& url() const { return url_; }
  // "scheme://127.0.0.1:port", without the path it printed.
  std::string origin() const;
  // Stops it; what it wrote.
  ProcessResult stop();

 private:
  BackgroundProcess process_;
  std::string url_;
};

#endif
