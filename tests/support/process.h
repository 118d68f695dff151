#ifndef BOOTSTRAP_TESTS_SUPPORT_PROCESS_H_
#define BOOTSTRAP_TESTS_SUPPORT_PROCESS_H_

#include <string>
#include <vector>

struct ProcessResult {
  int exitCode = -1;     // -1 when it did not exit normally
  int signal = 0;        // the signal that ended it, if one did
  bool timedOut = false; // killed after the time limit
  std::string out;
  std::string err;
};

// Runs argv[0] (looked up on PATH) with exactly the given environment
// ("NAME=value" entries) in directory cwd, with standard input from
// /dev/null; kills it after timeoutSeconds.
ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env,
                         const std::string& cwd, int timeoutSeconds);

#endif
