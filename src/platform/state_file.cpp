#include "platform/state_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/installer_constants.h"
#include "common/write_all.h"
#include "platform/log.h"

namespace {

// Reads up to size bytes into text; false on a read error.
bool readUpTo(int fd, size_t size, std::string* text) {
  text->assign(size, '\0');
  size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, &(*text)[got], size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  text->resize(got);
  return true;
}

}  // namespace

bool readFileStart(const std::string& path, std::string* start) {
  return readSmallFile(path, kMaxStateLineLength + 1, start);
}

bool readSmallFile(const std::string& path, size_t maxBytes,
                   std::string* text) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            readUpTo(fd, maxBytes, text);
  close(fd);
  return ok;
}

size_t lineEnd(const std::string& start, size_t from) {
  size_t end = start.find('\n', from);
  if (end != std::string::npos || start.size() > kMaxStateLineLength)
    return end;
  return start.size();
}

void logLineTooLong(const std::string& path) {
  logLine("%s: line too long (over %zu bytes); ignored", path.c_str(),
          kMaxStateLineLength);
}

bool readFirstLine(const std::string& path, std::string* line) {
  std::string start;
  if (!readFileStart(path, &start)) return false;
  size_t end = lineEnd(start, 0);
  if (end == std::string::npos) {
    logLineTooLong(path);
    return false;
  }
  line->assign(start, 0, end);
  return true;
}

void writeStateFile(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(),
                O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
    writeAll(fd, text.data(), text.size());
  close(fd);
}
