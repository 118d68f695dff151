#include "zip_listing.h"

#include <sys/wait.h>

#include <sstream>

#include "platform/command_runner.h"
#include "platform/shell_words.h"
#include "platform/unzip.h"

namespace {

// The archive as unzip must be told it: a literal name, never a wildcard
// or an option.
std::string archiveArgument(const std::string& archive) {
  std::string path = archive.compare(0, 1, "-") == 0 ? "./" + archive : archive;
  return unzip_archive_pattern(path);
}

// Runs unzip with the option on the archive, its output into *out and
// nothing on the terminal; its exit status, or -1 when it did not run or
// exit.
int runUnzip(const std::string& option, const std::string& archive,
             std::string* out) {
  int status = runCapturingOutput(
      "unzip " + option + " " + smart_quote(archiveArgument(archive)), out);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool listZip(const std::string& archive, std::vector<std::string>* names) {
  std::string listing;
  if (runUnzip("-Z1", archive, &listing) != 0) return false;
  std::istringstream lines(listing);
  for (std::string name; std::getline(lines, name);) names->push_back(name);
  return true;
}

bool zipIsIntact(const std::string& archive) {
  std::string ignored;
  return runUnzip("-tqq", archive, &ignored) == 0;
}
