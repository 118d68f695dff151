#ifndef BOOTSTRAP_TESTS_SUPPORT_TERMINAL_PROCESS_H_
#define BOOTSTRAP_TESTS_SUPPORT_TERMINAL_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/process.h"

// A child run as a user runs it in a terminal: in a session of its own
// whose controlling terminal is a new pseudo-terminal, in the foreground,
// with standard input, output and error on it. What the terminal shows is
// the result's out.
class TerminalProcess {
 public:
  TerminalProcess(const std::vector<std::string>& argv,
                  const std::vector<std::string>& env, const std::string& cwd);
  // Kills its process group if it is still running.
  ~TerminalProcess();
  TerminalProcess(const TerminalProcess&) = delete;
  TerminalProcess& operator=(const TerminalProcess&) = delete;

  // Types one character, as a user would; "\x03" is Ctrl-C.
  bool type(char c);
  // Waits up to timeoutSeconds for it to exit, killing its process group
  // after that.
  ProcessResult wait(double timeoutSeconds);

 private:
  void drain(ProcessResult* result);

  pid_t pid_ = -1;
  int master_ = -1;
  bool reaped_ = false;
};

#endif
