#include "support/terminal_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

std::vector<char*> pointersTo(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const std::string& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

TerminalProcess::TerminalProcess(const std::vector<std::string>& argv,
                                 const std::vector<std::string>& env,
                                 const std::string& cwd) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return;
  }
  const std::string slave = ptsname(master_);
  std::vector<char*> args = pointersTo(argv), vars = pointersTo(env);
  pid_ = fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls from here on.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);  // the test server ignores it for us
    int fd = -1;
    if (setsid() < 0 || (fd = open(slave.c_str(), O_RDWR)) < 0 ||
        ioctl(fd, TIOCSCTTY, 0) != 0 || dup2(fd, 0) < 0 || dup2(fd, 1) < 0 ||
        dup2(fd, 2) < 0 || (!cwd.empty() && chdir(cwd.c_str()) != 0))
      _exit(127);
    execve(args[0], args.data(), vars.data());
    _exit(127);
  }
  if (pid_ < 0) ADD_FAILURE() << "cannot fork";
}

TerminalProcess::~TerminalProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
}

bool TerminalProcess::type(char c) {
  return master_ >= 0 && write(master_, &c, 1) == 1;
}

// Reads what the terminal shows so far; a full terminal would stall it.
void TerminalProcess::drain(ProcessResult* result) {
  char buffer[4096];
  struct pollfd ready = {master_, POLLIN, 0};
  while (poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN)) {
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    result->out.append(buffer, static_cast<size_t>(n));
  }
}

ProcessResult TerminalProcess::wait(double timeoutSeconds) {
  ProcessResult result;
  if (pid_ <= 0) return result;
  int status = 0;
  const double deadline = now() + timeoutSeconds;
  pid_t done = 0;
  while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && now() < deadline) {
    drain(&result);
    usleep(10 * 1000);
  }
  if (done == 0) {
    result.timedOut = true;
    kill(-pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  reaped_ = true;
  drain(&result);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}
