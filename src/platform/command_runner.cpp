#include "platform/command_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/error_tail.h"
#include "platform/log.h"
#include "platform/pipes.h"
#include "platform/shell_words.h"
#include "platform/stderr_relay.h"

namespace {

// The running command, how it was started, and the signal that stopped
// the run. One lock makes the pid's reuse impossible while a signal is
// being forwarded: the child is reaped only after it is cleared here.
std::mutex commandMutex;
pid_t runningCommand = 0;
std::optional<std::string> commandPath;
ChildOptions runningOptions;
int interruptedBy = 0;

// How long a command told to stop may take before it is killed.
const std::chrono::seconds kStopGrace(3);

void killWhenGraceEnds(pid_t pid) {
  std::this_thread::sleep_for(kStopGrace);
  std::lock_guard<std::mutex> lock(commandMutex);
  if (runningCommand == pid) kill(pid, SIGKILL);
}

// With commandMutex held.
void startGrace(pid_t pid) {
  try {
    std::thread(killWhenGraceEnds, pid).detach();
  } catch (const std::system_error&) {
    kill(pid, SIGKILL);  // no thread to wait with: the run must still end
  }
}

// A line of quoted words is started directly, as the shell would start it,
// without a shell in between; any other line goes to /bin/sh -c "exec
// <line>". Either way the command is the child, so a forwarded signal
// reaches it rather than a shell that would die of it and leave the command
// running unwaited. A program that is not found or cannot be executed is
// not handed to the shell: it would look in the current directory too.
pid_t spawnCommand(const std::string& commandLine,
                   const ChildOptions& options) {
  std::vector<std::string> words;
  if (!readQuotedWords(commandLine, &words))
    return startChild("/bin/sh", {"sh", "-c", "exec " + commandLine}, options);
  std::string program =
      findProgram(words[0], commandPath ? commandPath->c_str() : nullptr);
  if (program.empty()) {
    logLine("Cannot start %s: not found on PATH", words[0].c_str());
    errno = ENOENT;
    return -1;
  }
  pid_t pid = startChild(program, words, options);
  if (pid < 0)
    logLine("Cannot start %s: %s", program.c_str(), strerror(errno));
  return pid;
}

pid_t startCommand(const std::string& commandLine,
                   const ChildOptions& options) {
  std::lock_guard<std::mutex> lock(commandMutex);
  if (interruptedBy != 0) {
    errno = EINTR;
    return -1;
  }
  pid_t pid = spawnCommand(commandLine, options);
  if (pid > 0) {
    runningCommand = pid;
    runningOptions = options;
  }
  return pid;
}

// Waits without reaping, so the pid cannot be reused before it is cleared.
int finishCommand(pid_t pid) {
  siginfo_t info;
  id_t id = static_cast<id_t>(pid);
  while (waitid(P_PID, id, &info, WEXITED | WNOWAIT) != 0 && errno == EINTR)
    continue;
  {
    std::lock_guard<std::mutex> lock(commandMutex);
    runningCommand = 0;
  }
  int status = -1;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

// The shell's statuses for a command that did not start (127 not found,
// 126 not executable), from errno; -1 when the run was interrupted or no
// process could be made.
int statusOfUnstarted() {
  if (errno == EINTR || errno == EAGAIN || errno == ENOMEM) return -1;
  return (errno == ENOENT ? 127 : 126) << 8;
}

// Whether a command's standard error may go through us: ours must be
// open and no terminal. On a terminal the command may colour its lines,
// draw progress or prompt, which it would not do into a pipe.
bool canRelayStandardError() {
  return fcntl(STDERR_FILENO, F_GETFD) != -1 && !isatty(STDERR_FILENO);
}

}  // namespace

int runCommand(const std::string& commandLine, const ChildOptions& options) {
  if (options.errorTail) options.errorTail->clear();
  StderrRelay relay;
  const bool relayed = options.errorTail && !options.stderrToNull &&
                       canRelayStandardError() && relay.start();
  ChildOptions started = options;
  if (relayed) started.stderrFd = relay.commandEnd();
  pid_t pid = startCommand(commandLine, started);
  const int unstarted = pid < 0 ? statusOfUnstarted() : 0;  // before a close
  relay.commandStarted();
  if (pid < 0) return unstarted;
  if (relayed) {
    ErrorTail tail;
    relay.collect(pid, &tail);
    *options.errorTail = tail.lines();
  }
  return finishCommand(pid);
}

int runCapturingOutput(const std::string& commandLine, std::string* out) {
  int pipeFds[2];
  if (!openPipe(pipeFds)) return -1;
  ChildOptions options;
  options.stdinFromNull = true;
  options.stdoutFd = pipeFds[1];
  options.stderrToNull = true;
  pid_t pid = startCommand(commandLine, options);
  if (pid < 0) {
    int status = statusOfUnstarted();
    close(pipeFds[0]);
    close(pipeFds[1]);
    return status;
  }
  close(pipeFds[1]);
  char buffer[4096];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;)
    if (n > 0)
      out->append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR)
      break;
  close(pipeFds[0]);
  return finishCommand(pid);
}

int call_system(std::string commandLine) {
  return runCommand(commandLine, ChildOptions());
}

void setCommandPath(const std::optional<std::string>& path) {
  std::lock_guard<std::mutex> lock(commandMutex);
  commandPath = path;
}

void interruptCommands(int sig, bool forward) {
  std::lock_guard<std::mutex> lock(commandMutex);
  interruptedBy = sig;
  if (runningCommand <= 0) return;
  // Without our terminal, it heard nothing from there.
  if (forward || runningOptions.noTerminal) kill(runningCommand, sig);
  if (runningOptions.killAfterGrace) startGrace(runningCommand);
}
