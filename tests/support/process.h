#ifndef BOOTSTRAP_TESTS_SUPPORT_PROCESS_H_
#define BOOTSTRAP_TESTS_SUPPORT_PROCESS_H_

#include <sys/types.h>

#include <functional>
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

// A child started as runProcess starts it, left running while the test
// acts on it. Its output goes to memory files rather than pipes, so that it
// never stalls on output nobody reads.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::vector<std::string>& argv,
                    const std::vector<std::string>& env,
                    const std::string& cwd);
  // Kills its process group if it is still running.
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // Sends sig to the process (not its group); false once it has exited.
  bool sendSignal(int sig);
  // Whether it has exited, without waiting.
  bool hasExited();
  // What it has written to standard output so far.
  std::string outputSoFar() const;
  // Waits up to timeoutSeconds for it to exit, killing its process group
  // after that; how it ended and what it wrote.
  ProcessResult wait(double timeoutSeconds);

 private:
  void killAndReap();

  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  int outFd_ = -1, errFd_ = -1;
};

// Seconds on a monotonic clock.
double now();

// Polls ready() every 10 ms until it holds, for at most seconds; whether
// it did.
bool waitFor(const std::function<bool()>& ready, double seconds = 10);

// The NUL-terminated words in bytes, as printf '%s\0' writes them.
std::vector<std::string> splitAtNul(const std::string& bytes);

// An argv over args, null-terminated; valid while args lives unchanged.
std::vector<char*> argvOf(std::vector<std::string>& args);

#endif
