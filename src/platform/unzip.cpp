#include "platform/unzip.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <exception>

#include "platform/command_runner.h"
#include "platform/log.h"
#include "platform/shell_words.h"

namespace {

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
    case 5: return "exit status 5: the archive is encrypted, or out of memory";
    case 4: case 6: case 7:
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

bool unzipInstallAgent(std::string archivePath, std::string destination,
                       std::string unzipCommand, ReportFn report) {
  struct stat st;
  if (stat(archivePath.c_str(), &st) != 0) return false;
  try {
    std::string line = smart_quote(unzipCommand) + " -qq -o " +
                       smart_quote(unzip_archive_pattern(archivePath)) +
                       " -d " + smart_quote(destination);
    // unzip must never wait for an answer from the user's terminal (it
    // asks for a password on /dev/tty), nor go on unpacking once the
    // bootstrap is gone or told to stop.
    ChildOptions options;
    options.stdinFromNull = true;
    options.dieWithParent = true;
    options.noTerminal = true;
    options.killAfterGrace = true;
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
