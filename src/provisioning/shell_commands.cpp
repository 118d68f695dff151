#include "provisioning/shell_commands.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <mutex>
#include <vector>

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

// Signals to reset in the child; ignored ones stay ignored, as nohup wants.
sigset_t signalsToDefault() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction current;
    if (sigaction(sig, nullptr, &current) == 0 &&
        current.sa_handler != SIG_IGN)
      sigaddset(&set, sig);
  }
  return set;
}

// Starts argv with an empty signal mask and default dispositions; -1 when
// it cannot start. With search, argv[0] is looked up on PATH.
pid_t spawn(const char* path, const std::vector<std::string>& args,
            bool search) {
  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0) return -1;
  sigset_t none, defaults = signalsToDefault();
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv;
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int failed = search ? posix_spawnp(&pid, path, nullptr, &attr, argv.data(),
                                     environ)
                      : posix_spawn(&pid, path, nullptr, &attr, argv.data(),
                                    environ);
  posix_spawnattr_destroy(&attr);
  return failed ? -1 : pid;
}

// A line of quoted words is started directly, as the shell would start it,
// without a shell in between; any other line goes to /bin/sh -c "exec
// <line>", and so does one whose program cannot be started (the shell then
// says why). Either way the command is the child, so a forwarded signal
// reaches it rather than a shell that would die of it and leave the command
// running unwaited.
pid_t spawnCommand(const std::string& commandLine) {
  std::vector<std::string> words;
  if (readQuotedWords(commandLine, &words)) {
    pid_t pid = spawn(words[0].c_str(), words, true);
    if (pid > 0) return pid;
  }
  return spawn("/bin/sh", {"sh", "-c", "exec " + commandLine}, false);
}

pid_t startCommand(const std::string& commandLine) {
  std::lock_guard<std::mutex> lock(commandMutex);
  if (interruptedBy != 0) return -1;
  pid_t pid = spawnCommand(commandLine);
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

int call_system(std::string /*program*/, std::string commandLine) {
  pid_t pid = startCommand(commandLine);
  return pid < 0 ? -1 : finishCommand(pid);
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
    if (call_system(unzipCommand, line) == 0) return true;
  } catch (const std::exception&) {
    return false;
  }
  report("Failed to unzip the install agent", true);
  return false;
}

bool fireInstallAgentWithArgs(std::string agentPath, std::string prefix,
                              std::string payloadDir, int argc, char** argv,
                              ReportFn report) {
  try {
    std::string line = prefix + " -installbundle " +
                       smart_quote(payloadDir + kPathSeparator + "bundle.zip");
    if (argc > 1) line += " " + argv2cmdline(argc, argv);
    return call_system(agentPath, line) == 0;
  } catch (const std::exception&) {
    report("Failed to start the install agent", true);
    return false;
  }
}
