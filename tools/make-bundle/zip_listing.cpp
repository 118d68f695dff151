#include "zip_listing.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "provisioning/shell_commands.h"

namespace {

// The archive as unzip must be told it: a literal name, never a wildcard
// or an option.
std::string archiveArgument(const std::string& archive) {
  std::string path = archive.compare(0, 1, "-") == 0 ? "./" + archive : archive;
  return unzip_archive_pattern(path);
}

// Runs unzip with args, its output into *out and nothing on the terminal;
// its exit status, or -1 when it did not run or exit.
int runUnzip(std::vector<std::string> args, std::string* out) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  args.insert(args.begin(), "unzip");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  pid_t pid = -1;
  bool started =
      posix_spawnp(&pid, "unzip", &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  char buffer[4096];
  for (ssize_t n;
       started && (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;)
    if (n > 0)
      out->append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR)
      break;
  close(pipeFds[0]);
  int status = 0;
  if (!started) return -1;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool listZip(const std::string& archive, std::vector<std::string>* names) {
  std::string listing;
  if (runUnzip({"-Z1", archiveArgument(archive)}, &listing) != 0) return false;
  std::istringstream lines(listing);
  for (std::string name; std::getline(lines, name);) names->push_back(name);
  return true;
}

bool zipIsIntact(const std::string& archive) {
  std::string ignored;
  return runUnzip({"-tqq", archiveArgument(archive)}, &ignored) == 0;
}
