#include "provisioning/shell_commands.h"

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <mutex>
#include <vector>

#include "platform/child_process.h"
#include "platform/log.h"
#include "provisioning/command_words.h"
#include "provisioning/installer_constants.h"

namespace {

std::string singleQuoted(const std::string& s) {
  std::string word = "'";
  for (char c : s) {
    if (c == '\'')
      word += "'\\''";
    else
      word += c;
  }
  return word + "'";
}

// The running command and the signal that stopped the run. One lock makes
// the pid's reuse impossible while a signal is being forwarded: the child
// is reaped only after it is cleared here.
std::mutex commandMutex;
pid_t runningCommand = 0;
int interruptedBy = 0;

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
  std::string program = findProgram(words[0], getenv("PATH"));
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
  if (pid > 0) runningCommand = pid;
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

// The wait status of the command; one that could not start gets the
// shell's statuses (127 not found, 126 not executable), and -1 when the
// run was interrupted or no process could be made.
int runCommand(const std::string& commandLine, const ChildOptions& options) {
  pid_t pid = startCommand(commandLine, options);
  if (pid >= 0) return finishCommand(pid);
  if (errno == EINTR || errno == EAGAIN || errno == ENOMEM) return -1;
  return (errno == ENOENT ? 127 : 126) << 8;
}

// What unzip's exit status says went wrong, for the log.
std::string unzipFailureCause(int status) {
  if (status == -1) return "could not be run";
  if (WIFSIGNALED(status))
    return "killed by signal " + std::to_string(WTERMSIG(status));
  if (!WIFEXITED(status)) return "could not be run";
  switch (int code = WEXITSTATUS(status)) {
    case 1: return "exit status 1: warnings";
    case 2:
    case 3: return "exit status " + std::to_string(code) +
                   ": the archive is damaged";
    case 4: case 5: case 6: case 7:
      return "exit status " + std::to_string(code) + ": out of memory";
    case 9: return "exit status 9: the archive was not found";
    case 50: return "exit status 50: the disk is full";
    case 51: return "exit status 51: the archive ends too early";
    case 80: return "exit status 80: interrupted";
    case 81: return "exit status 81: unsupported compression or encryption";
    case 82: return "exit status 82: the archive is encrypted";
    case 126: return "exit status 126: unzip cannot be executed";
    case 127: return "exit status 127: unzip is not installed";
    default: return "exit status " + std::to_string(code);
  }
}

}  // namespace

std::string smart_quote(std::string s) {
  bool hasBlank = false;
  for (unsigned char c : s) {
    if (c == ' ' || c == '\t')
      hasBlank = true;
    else if (!isShellPlain(c))
      return singleQuoted(s);
  }
  return hasBlank ? "\"" + s + "\"" : s;
}

std::string argv2cmdline(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    line += arg.empty() ? "''" : smart_quote(arg);
    line += ' ';
  }
  return line;
}

std::string unzip_archive_pattern(const std::string& archivePath) {
  // Only the file name is matched; the directory part is taken literally.
  size_t nameStart = archivePath.rfind('/') + 1;  // 0 without a slash
  if (archivePath.find_first_of("[*?", nameStart) == std::string::npos)
    return archivePath;  // taken literally when nothing in it is wild
  std::string pattern = archivePath.substr(0, nameStart);
  for (size_t i = nameStart; i < archivePath.size(); ++i) {
    switch (char c = archivePath[i]) {
      case '[': pattern += "[[]"; break;
      case '*': pattern += "[*]"; break;
      case '?': pattern += "[?]"; break;
      case '\\': pattern += "\\\\"; break;
      default: pattern += c;
    }
  }
  return pattern;
}

int call_system(std::string commandLine) {
  return runCommand(commandLine, ChildOptions());
}

void interruptCommands(int sig, bool forward) {
  std::lock_guard<std::mutex> lock(commandMutex);
  interruptedBy = sig;
  if (forward && runningCommand > 0) kill(runningCommand, sig);
}

bool unzipInstallAgent(std::string archivePath, std::string destination,
                       std::string unzipCommand, ReportFn report) {
  struct stat st;
  if (stat(archivePath.c_str(), &st) != 0) return false;
  try {
    std::string line = smart_quote(unzipCommand) + " -qq -o " +
                       smart_quote(unzip_archive_pattern(archivePath)) +
                       " -d " + smart_quote(destination);
    // unzip must never wait for an answer from the user's terminal, nor
    // go on unpacking once the bootstrap is gone.
    ChildOptions options;
    options.stdinFromNull = true;
    options.dieWithParent = true;
    int status = runCommand(line, options);
    if (status == 0) return true;
    logLine("unzip failed to unpack %s (%s)", archivePath.c_str(),
            unzipFailureCause(status).c_str());
  } catch (const std::exception&) {
    return false;
  }
  report("Failed to unzip the install agent", true);
  return false;
}

bool fireInstallAgentWithArgs(std::string prefix,
                              std::string payloadDir, int argc, char** argv,
                              ReportFn report) {
  try {
    std::string line = prefix + " -installbundle " +
                       smart_quote(payloadDir + kPathSeparator + "bundle.zip");
    if (argc > 1) line += " " + argv2cmdline(argc, argv);
    return call_system(line) == 0;
  } catch (const std::exception&) {
    report("Failed to start the install agent", true);
    return false;
  }
}
