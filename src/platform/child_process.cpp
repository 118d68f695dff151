#include "platform/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/parent_death.h"
#include "platform/pipes.h"

namespace {

// The stop signals our starter left caught or at default, and SIGPIPE,
// which we ignore ourselves but a child must not inherit ignored.
sigset_t signalsToDefault() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction current;
    if (sigaction(sig, nullptr, &current) == 0 &&
        current.sa_handler != SIG_IGN)
      sigaddset(&set, sig);
  }
  return set;
}

// Async-signal-safe, for the child between fork and exec.
bool reopenNull(int fd, int flags) {
  int null = open("/dev/null", flags);
  if (null < 0 || dup2(null, fd) < 0) return false;
  if (null != fd) close(null);
  return true;
}

// Between fork and exec only async-signal-safe calls: no allocation.
[[noreturn]] void becomeChild(const char* path, char* const* argv,
                              char* const* scriptArgv,
                              const ChildOptions& options,
                              const sigset_t& defaults, pid_t parent,
                              int errorFd) {
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sigismember(&defaults, sig) == 1) {
      struct sigaction action = {};
      action.sa_handler = SIG_DFL;
      sigaction(sig, &action, nullptr);
    }
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // Once armed, a parent already gone would never send the signal.
  if (options.dieWithParent && killWhenParentDies() && getppid() != parent)
    _exit(127);
  if ((options.noTerminal && setsid() < 0) ||
      (options.stdinFromNull && !reopenNull(0, O_RDONLY)) ||
      (options.stdoutFd >= 0 && dup2(options.stdoutFd, 1) < 0) ||
      (options.stderrToNull && !reopenNull(2, O_WRONLY)) ||
      (options.stderrFd >= 0 && dup2(options.stderrFd, 2) < 0)) {
    int error = errno;
    (void)!write(errorFd, &error, sizeof error);
    _exit(127);
  }
  execv(path, argv);
  // A script without "#!" is the shell's to run, as the shell would.
  if (errno == ENOEXEC) execv("/bin/sh", scriptArgv);
  int error = errno;
  (void)!write(errorFd, &error, sizeof error);
  _exit(127);
}

// Reads the child's exec error, if any: 0 once exec succeeded.
int execError(int fd) {
  int error = 0;
  ssize_t n;
  while ((n = read(fd, &error, sizeof error)) < 0 && errno == EINTR) continue;
  return n == static_cast<ssize_t>(sizeof error) ? error : 0;
}

bool isExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

std::string standardPath() {
  size_t size = confstr(_CS_PATH, nullptr, 0);
  if (size == 0) return "/usr/bin:/bin";
  std::string path(size, '\0');
  confstr(_CS_PATH, &path[0], size);
  path.resize(size - 1);
  return path;
}

// The first executable name in the absolute entries of path; empty when
// none has it, and *sawAbsolute false when there was no absolute entry.
std::string searchAbsoluteEntries(const std::string& name,
                                  const std::string& path, bool* sawAbsolute) {
  *sawAbsolute = false;
  size_t start = 0;
  for (;;) {
    size_t end = path.find(':', start);
    std::string dir = path.substr(start, end - start);
    if (!dir.empty() && dir[0] == '/') {
      *sawAbsolute = true;
      std::string candidate = dir + (dir.back() == '/' ? "" : "/") + name;
      if (isExecutableFile(candidate)) return candidate;
    }
    if (end == std::string::npos) return std::string();
    start = end + 1;
  }
}

// The quick way, as vfork does it, for a child that needs nothing that
// posix_spawn cannot give: it costs a run a few milliseconds less.
pid_t spawnChild(const char* path, char* const* argv, char* const* scriptArgv,
                 const ChildOptions& options, const sigset_t& defaults) {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  if (posix_spawnattr_init(&attr) != 0) return -1;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    posix_spawnattr_destroy(&attr);
    return -1;
  }
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  if (options.stdinFromNull)
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (options.stdoutFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, options.stdoutFd, 1);
  if (options.stderrToNull)
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  if (options.stderrFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, options.stderrFd, 2);
  pid_t pid = -1;
  int error = posix_spawn(&pid, path, &actions, &attr, argv, environ);
  // A script without "#!" is the shell's to run, as the shell would.
  if (error == ENOEXEC)
    error = posix_spawn(&pid, "/bin/sh", &actions, &attr, scriptArgv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (error == 0) return pid;
  errno = error;
  return -1;
}

}  // namespace

pid_t startChild(const std::string& path, const std::vector<std::string>& args,
                 const ChildOptions& options) {
  std::vector<char*> argv;
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> scriptArgv = {const_cast<char*>("sh"),
                                   const_cast<char*>(path.c_str())};
  scriptArgv.insert(scriptArgv.end(), argv.begin() + (args.empty() ? 0 : 1),
                    argv.end());
  const sigset_t defaults = signalsToDefault();
  if (!options.dieWithParent && !options.noTerminal)
    return spawnChild(path.c_str(), argv.data(), scriptArgv.data(), options,
                      defaults);
  const pid_t parent = getpid();
  int errorPipe[2];
  if (!openPipe(errorPipe)) return -1;
  pid_t pid = fork();
  if (pid == 0)
    becomeChild(path.c_str(), argv.data(), scriptArgv.data(), options,
                defaults, parent, errorPipe[1]);
  int forkError = errno;
  close(errorPipe[1]);
  int error = pid < 0 ? forkError : execError(errorPipe[0]);
  close(errorPipe[0]);
  if (pid > 0 && error != 0) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) continue;
  }
  if (pid < 0 || error != 0) {
    errno = error;
    return -1;
  }
  return pid;
}

std::string findProgram(const std::string& name, const char* pathValue) {
  if (name.find('/') != std::string::npos) return name;
  if (name.empty()) return std::string();
  bool sawAbsolute = false;
  std::string found =
      searchAbsoluteEntries(name, pathValue ? pathValue : "", &sawAbsolute);
  if (found.empty() && !sawAbsolute)
    found = searchAbsoluteEntries(name, standardPath(), &sawAbsolute);
  return found;
}
