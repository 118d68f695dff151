#include "platform/stderr_relay.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/write_all.h"
#include "platform/log.h"

namespace {

// How often the child's end is looked for while it writes nothing.
const int kEndCheckMs = 20;

// What is read at most once the child ended: a program it left running
// that never pauses must not keep the run.
const size_t kDrainLimit = 1 << 20;

bool hasEnded(pid_t pid) {
  siginfo_t info = {};
  id_t id = static_cast<id_t>(pid);
  while (waitid(P_PID, id, &info, WEXITED | WNOHANG | WNOWAIT) != 0)
    if (errno != EINTR) return true;  // no such child: nothing to wait for
  return info.si_pid != 0;
}

// Whether fd has bytes or its end to read within timeoutMs.
bool readable(int fd, int timeoutMs) {
  struct pollfd p = {fd, POLLIN, 0};
  int ready;
  while ((ready = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) continue;
  return ready > 0;
}

// One read relayed: the bytes read, 0 at the pipe's end, -1 on an error.
ssize_t relayOnce(int fd, ErrorTail* tail) {
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) < 0 && errno == EINTR) continue;
  if (n <= 0) return n;
  // Our standard error gone, the command still writes to the pipe and
  // its lines are still kept.
  (void)writeAll(STDERR_FILENO, buffer, static_cast<size_t>(n));
  tail->add(buffer, static_cast<size_t>(n));
  return n;
}

// Relays what is in the pipe now; true when it ended there, no writer
// being left.
bool drained(int fd, ErrorTail* tail) {
  for (size_t taken = 0; taken < kDrainLimit && readable(fd, 0);) {
    ssize_t n = relayOnce(fd, tail);
    if (n <= 0) return true;
    taken += static_cast<size_t>(n);
  }
  return false;
}

// In the forked forwarder: only async-signal-safe calls, as other threads
// may have held locks when it was forked.
[[noreturn]] void forward(int fd, long maxFd) {
  // Stopped as any process is; a reader of our standard error gone stops
  // only the writes, so that the pipe is still drained.
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // Nothing of the run kept: its locks, its connections, its standard
  // output (a reader waits for its end), its working directory.
  if (fd != 0 && dup2(fd, 0) != 0) _exit(1);
  close(STDOUT_FILENO);
  if (close_range(3, ~0U, 0) != 0)
    for (long other = 3; other < maxFd; ++other) close(static_cast<int>(other));
  (void)!chdir("/");
  char buffer[4096];
  for (;;) {
    ssize_t n = read(0, buffer, sizeof buffer);
    if (n == 0) _exit(0);
    if (n < 0 && errno != EINTR) _exit(1);
    if (n > 0) (void)writeAll(STDERR_FILENO, buffer, static_cast<size_t>(n));
  }
}

// Not tied to the run (no death signal): the writers outlive it.
void handOff(int fd) {
  long maxFd = sysconf(_SC_OPEN_MAX);
  if (maxFd < 0) maxFd = 1024;
  pid_t pid = fork();
  if (pid == 0) forward(fd, maxFd);
  if (pid < 0)
    logLine("Cannot go on relaying the standard error of a command's "
            "background programs: %s", strerror(errno));
}

}  // namespace

void relayUntilEnded(int fd, pid_t pid, ErrorTail* tail) {
  for (;;) {
    if (readable(fd, kEndCheckMs) && relayOnce(fd, tail) <= 0) break;
    if (hasEnded(pid)) {
      if (!drained(fd, tail)) handOff(fd);
      break;
    }
  }
  close(fd);
}
