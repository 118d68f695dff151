#include "cache/validation_marker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/installer_constants.h"
#include "common/text.h"
#include "common/write_all.h"
#include "platform/first_line.h"

namespace {

std::string markerPath(const std::string& cacheDir) {
  return joinPath(cacheDir, kValidationFileName);
}

// Writes text as the whole file; non-blocking, so that a FIFO planted in
// its place cannot hang the run.
void writeStateFile(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(),
                O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
    writeAll(fd, text.data(), text.size());
  close(fd);
}

}  // namespace

bool readValidationString(const std::string& cacheDir, std::string* line) {
  return readFirstLine(markerPath(cacheDir), line);
}

bool isCacheValid(std::string cacheDir, std::string validationString) {
  if (!cacheDir.empty() && validationString.empty()) return false;
  std::string line;
  return readValidationString(cacheDir, &line) && line == validationString;
}

void writeValidationString(std::string cacheDir,
                           std::string validationString) {
  if (cacheDir.empty() || validationString.empty()) return;
  writeStateFile(markerPath(cacheDir), validationString);
}

bool readSourceUrl(const std::string& cacheDir, std::string* url) {
  return readFirstLine(joinPath(cacheDir, kSourceUrlFileName), url);
}

void writeSourceUrl(const std::string& cacheDir, const std::string& url) {
  writeStateFile(joinPath(cacheDir, kSourceUrlFileName), url);
}
