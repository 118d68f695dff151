#include "platform/bundle_paths.h"

#include <unistd.h>

#include <vector>

#include "common/installer_constants.h"
#include "common/text.h"

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

std::string cutAtLastSeparator(const std::string& path) {
  size_t last = path.find_last_of("/\\");
  return last == std::string::npos ? path : path.substr(0, last);
}

MainBundle bundleForExecutable(const std::string& executablePath) {
  MainBundle bundle;
  if (executablePath.empty()) return bundle;
  std::string dir = cutAtLastSeparator(executablePath);
  if (dir.empty()) dir = "/";
  const std::string macos = "/Contents/MacOS";
  std::string app = endsWith(dir, macos)
                        ? dir.substr(0, dir.size() - macos.size())
                        : std::string();
  bundle.present = true;
  if (endsWith(app, ".app") && cutAtLastSeparator(app) + "/.app" != app) {
    bundle.bundlePath = app;
    bundle.resourcePath = app + "/Contents/Resources";
  } else {
    bundle.bundlePath = dir;
    bundle.resourcePath = dir;
  }
  return bundle;
}

std::string executablePath() { return readLink("/proc/self/exe"); }

MainBundle mainBundle() { return bundleForExecutable(executablePath()); }

std::string getPathToExecutable() { return mainBundle().bundlePath; }

std::string getDirectoryOfExecutable() {
  return cutAtLastSeparator(getPathToExecutable());
}

// Without a bundle this is empty, as getDirectoryOfExecutable() is then.
std::string getBundleLocation() { return mainBundle().resourcePath; }

std::string getDefaultInstallAgentLocation() {
  MainBundle bundle = mainBundle();
  if (!bundle.present) return "";
  std::string dir = bundle.resourcePath;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir == "/") dir.clear();
  return joinPath(dir, kInstallAgentZipName);
}
