#include "platform/executable_path.h"

#include <unistd.h>

#include <vector>

namespace {

// The target of a symbolic link, whatever its length; empty on failure.
std::string readLink(const char* path) {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = readlink(path, buffer.data(), buffer.size());
    if (n < 0) return "";
    if (static_cast<size_t>(n) < buffer.size())
      return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string executablePath() { return readLink("/proc/self/exe"); }
