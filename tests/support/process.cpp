#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

std::vector<char*> cStrings(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const std::string& s : strings)
    pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

[[noreturn]] void execChild(const std::vector<std::string>& argv,
                            const std::vector<std::string>& env,
                            const std::string& cwd, int outFd, int errFd) {
  setpgid(0, 0);
  // As a user's shell starts it: the test server ignores SIGPIPE for us.
  signal(SIGPIPE, SIG_DFL);
  int devNull = open("/dev/null", O_RDONLY);
  dup2(devNull, 0);
  dup2(outFd, 1);
  dup2(errFd, 2);
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  std::vector<char*> args = cStrings(argv);
  std::vector<char*> envp = cStrings(env);
  execvpe(args[0], args.data(), envp.data());
  _exit(127);
}

// Reads both pipes until they close or the deadline passes.
bool drain(int outFd, int errFd, ProcessResult* result, double deadline) {
  struct pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&result->out, &result->err};
  int open = 2;
  while (open > 0) {
    int waitMs = static_cast<int>((deadline - now()) * 1000);
    if (waitMs <= 0) return false;
    if (poll(fds, 2, waitMs) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !fds[i].revents) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  return true;
}

std::string readAll(int fd) {
  std::string content;
  char buffer[4096];
  off_t offset = 0;
  for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, offset)) > 0;
       offset += n)
    content.append(buffer, static_cast<size_t>(n));
  return content;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& env,
                         const std::string& cwd, int timeoutSeconds) {
  ProcessResult result;
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
    return result;
  pid_t pid = fork();
  if (pid == 0) execChild(argv, env, cwd, outPipe[1], errPipe[1]);
  close(outPipe[1]);
  close(errPipe[1]);
  if (pid > 0) {
    setpgid(pid, pid);
    if (!drain(outPipe[0], errPipe[0], &result, now() + timeoutSeconds)) {
      result.timedOut = true;
      kill(-pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  }
  close(outPipe[0]);
  close(errPipe[0]);
  return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& env,
                                     const std::string& cwd) {
  outFd_ = memfd_create("stdout", MFD_CLOEXEC);
  errFd_ = memfd_create("stderr", MFD_CLOEXEC);
  if (outFd_ < 0 || errFd_ < 0) return;
  pid_ = fork();
  if (pid_ == 0) execChild(argv, env, cwd, outFd_, errFd_);
  if (pid_ > 0) setpgid(pid_, pid_);
}

BackgroundProcess::~BackgroundProcess() {
  if (!hasExited()) killAndReap();
  if (outFd_ >= 0) close(outFd_);
  if (errFd_ >= 0) close(errFd_);
}

bool BackgroundProcess::sendSignal(int sig) {
  return !hasExited() && kill(pid_, sig) == 0;
}

bool BackgroundProcess::hasExited() {
  if (pid_ <= 0) return true;
  if (!reaped_ && waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
  return reaped_;
}

std::string BackgroundProcess::outputSoFar() const {
  return outFd_ >= 0 ? readAll(outFd_) : "";
}

ProcessResult BackgroundProcess::wait(double timeoutSeconds) {
  ProcessResult result;
  double deadline = now() + timeoutSeconds;
  while (!hasExited() && now() < deadline) usleep(10 * 1000);
  if (!hasExited()) {
    result.timedOut = true;
    killAndReap();
  }
  if (pid_ > 0 && WIFEXITED(status_)) result.exitCode = WEXITSTATUS(status_);
  if (pid_ > 0 && WIFSIGNALED(status_)) result.signal = WTERMSIG(status_);
  if (outFd_ >= 0) result.out = readAll(outFd_);
  if (errFd_ >= 0) result.err = readAll(errFd_);
  return result;
}

void BackgroundProcess::killAndReap() {
  kill(-pid_, SIGKILL);
  waitpid(pid_, &status_, 0);
  reaped_ = true;
}

double now() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

bool waitFor(const std::function<bool()>& ready, double seconds) {
  for (double deadline = now() + seconds; now() < deadline; usleep(10 * 1000))
    if (ready()) return true;
  return false;
}

std::vector<std::string> splitAtNul(const std::string& bytes) {
  std::vector<std::string> words;
  for (size_t start = 0, nul;
       (nul = bytes.find('\0', start)) != std::string::npos; start = nul + 1)
    words.push_back(bytes.substr(start, nul - start));
  return words;
}

std::vector<char*> argvOf(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  return argv;
}
