#include "platform/bundle_paths.h"

#include "common/installer_constants.h"
#include "common/text.h"
#include "platform/executable_path.h"

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
