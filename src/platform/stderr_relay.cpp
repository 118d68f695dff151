#include "platform/stderr_relay.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/write_all.h"
#include "platform/pipes.h"

namespace {

// How often the command's end is looked for while nothing comes.
const int kEndCheckMs = 20;

void closeIfOpen(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

bool hasEnded(pid_t pid) {
  siginfo_t info = {};
  id_t id = static_cast<id_t>(pid);
  while (waitid(P_PID, id, &info, WEXITED | WNOHANG | WNOWAIT) != 0)
    if (errno != EINTR) return true;  // no such child: nothing to wait for
  return info.si_pid != 0;
}

// The relay's part, in a process forked from a threaded one, uses only
// async-signal-safe calls. Its fds: 0 the command's pipe, 3 the copies to
// the run, 4 the run's word that the command ended (or its end: the run
// is gone); 2 our standard error.

// What is passed on at most, once the command ended, before the copies
// end: a program it left running that never pauses must not keep the run.
const size_t kLastCopies = 1 << 20;

// Passes on one read of the pipe, and copies it while copying; exits at
// the pipe's end, when no writer is left. The bytes read.
size_t passOn(bool copying) {
  char buffer[4096];
  ssize_t n;
  while ((n = read(0, buffer, sizeof buffer)) < 0 && errno == EINTR) continue;
  if (n <= 0) _exit(0);
  (void)writeAll(STDERR_FILENO, buffer, static_cast<size_t>(n));
  if (copying) (void)writeAll(3, buffer, static_cast<size_t>(n));
  return static_cast<size_t>(n);
}

bool hasBytes(int fd) {
  struct pollfd ready = {fd, POLLIN, 0};
  return poll(&ready, 1, 0) > 0;
}

[[noreturn]] void relay() {
  bool copying = true;
  for (;;) {
    struct pollfd ready[2] = {{0, POLLIN, 0}, {4, POLLIN, 0}};
    if (poll(ready, copying ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      _exit(1);
    }
    if (copying && ready[1].revents != 0) {
      // The command ended (or the run is gone): what it wrote before is in
      // the pipe already. Passed on, the copies end; the relay goes on for
      // programs the command left running.
      for (size_t sent = 0; sent < kLastCopies && hasBytes(0);)
        sent += passOn(true);
      close(3);
      close(4);
      copying = false;
    } else if (ready[0].revents != 0) {
      passOn(copying);
    }
  }
}

// The relay's process, stopped by nothing but its pipe's end: a signal
// meant for the run, or for the terminal's whole group, must not leave the
// command writing into a pipe without a reader. Forked once, not twice to
// make it init's: a fork costs the run milliseconds, and a relay left
// running is init's once the run ends.
[[noreturn]] void becomeRelay(int pipeEnd, int copies, int ended) {
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT})
    sigaction(sig, &ignore, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // Nothing of the run kept: its locks, its connections, its standard
  // output (whose reader waits for its end), its working directory.
  // Moved up first, so that none is overwritten before it is moved.
  pipeEnd = fcntl(pipeEnd, F_DUPFD, 5);
  copies = fcntl(copies, F_DUPFD, 5);
  ended = fcntl(ended, F_DUPFD, 5);
  if (pipeEnd < 0 || copies < 0 || ended < 0 || dup2(pipeEnd, 0) != 0 ||
      dup2(copies, 3) != 3 || dup2(ended, 4) != 4)
    _exit(1);
  close(STDOUT_FILENO);
  if (close_range(5, ~0U, 0) != 0) {
    long maxFd = sysconf(_SC_OPEN_MAX);
    for (long fd = 5; fd < maxFd; ++fd) close(static_cast<int>(fd));
  }
  (void)!chdir("/");
  relay();
}

}  // namespace

StderrRelay::~StderrRelay() {
  closeIfOpen(&commandEnd_);
  closeIfOpen(&copies_);
  closeIfOpen(&ended_);
  // Gone unless programs the command left running still write.
  while (waitpid(relay_, nullptr, WNOHANG) < 0 && errno == EINTR) continue;
}

bool StderrRelay::start() {
  int command[2], copies[2], ended[2];
  if (!openPipe(command)) return false;
  if (!openPipe(copies)) {
    close(command[0]);
    close(command[1]);
    return false;
  }
  if (!openPipe(ended)) {
    for (int fd : {command[0], command[1], copies[0], copies[1]}) close(fd);
    return false;
  }
  relay_ = fork();
  if (relay_ == 0) becomeRelay(command[0], copies[1], ended[0]);
  int error = errno;
  for (int fd : {command[0], copies[1], ended[0]}) close(fd);
  commandEnd_ = command[1];
  copies_ = copies[0];
  ended_ = ended[1];
  if (relay_ > 0) return true;
  closeIfOpen(&commandEnd_);
  closeIfOpen(&copies_);
  closeIfOpen(&ended_);
  errno = error;
  return false;
}

void StderrRelay::commandStarted() { closeIfOpen(&commandEnd_); }

void StderrRelay::collect(pid_t pid, ErrorTail* tail) {
  char buffer[4096];
  bool told = false;
  for (;;) {
    struct pollfd ready = {copies_, POLLIN, 0};
    int n = poll(&ready, 1, told ? -1 : kEndCheckMs);
    if (n < 0 && errno != EINTR) break;
    if (n > 0) {
      ssize_t got = read(copies_, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;  // the relay passed on all, or is gone
      tail->add(buffer, static_cast<size_t>(got));
    } else if (!told && hasEnded(pid)) {
      closeIfOpen(&ended_);  // the relay's word to finish the copies
      told = true;
    }
  }
  closeIfOpen(&copies_);
  closeIfOpen(&ended_);
}
