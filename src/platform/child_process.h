#ifndef BOOTSTRAP_PLATFORM_CHILD_PROCESS_H_
#define BOOTSTRAP_PLATFORM_CHILD_PROCESS_H_

#include <sys/types.h>

#include <string>
#include <vector>

// How a child starts besides what every child gets: no signal blocked,
// SIGPIPE and the stop signals (INT, TERM, HUP, QUIT) at their default
// unless our own starter ignored a stop signal (nohup stays).
struct ChildOptions {
  // Standard input from /dev/null, so that the child never reads the
  // user's terminal (a prompt would hang an unattended run).
  bool stdinFromNull = false;
  // When >= 0, the child's standard output (a pipe the caller reads).
  int stdoutFd = -1;
  // Standard error to /dev/null, for a helper whose complaints we word.
  bool stderrToNull = false;
  // When >= 0, the child's standard error (a pipe the caller reads).
  int stderrFd = -1;
  // Killed when the thread that started it dies, where the platform can:
  // a helper must not outlive a bootstrap killed with SIGKILL.
  bool dieWithParent = false;
  // In a session of its own, without a controlling terminal: a helper that
  // asks on /dev/tty rather than standard input (unzip, for a password)
  // then fails at once instead of waiting for an answer.
  bool noTerminal = false;
  // For the command runner: killed (SIGKILL) when it has not ended a few
  // seconds after the run was told to stop, as unzip may catch the signal.
  bool killAfterGrace = false;
  // For the command runner: when set, the command's last lines on standard
  // error, fit to show (ErrorTail), or none when they could not be kept:
  // our standard error is a terminal, which the command then writes to
  // itself, or no pipe could be made. Not with stderrToNull.
  std::vector<std::string>* errorTail = nullptr;
};

// Starts the program at path (absolute, or relative to the current
// directory) with args as its argv and our environment. The child's pid,
// or -1 with errno set when it could not be started (exec failed).
pid_t startChild(const std::string& path, const std::vector<std::string>& args,
                 const ChildOptions& options);

// Where the program name (no slash) is found on pathValue (PATH's value,
// null when unset): only absolute entries count, so neither an empty entry
// nor "." can run a program from the current directory. Without any
// absolute entry, the system's standard path. A name with a slash comes
// back as it is. Empty when no executable regular file is found.
std::string findProgram(const std::string& name, const char* pathValue);

#endif
