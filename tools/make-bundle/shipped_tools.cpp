#include "shipped_tools.h"

#include <unistd.h>

#include "platform/bundle_paths.h"
#include "ui/desktop_module.h"

namespace {

std::string ownDirectory() { return cutAtLastSeparator(executablePath()); }

std::string firstExisting(const std::string& a, const std::string& b) {
  if (access(a.c_str(), F_OK) == 0) return a;
  return access(b.c_str(), F_OK) == 0 ? b : "";
}

}  // namespace

std::string defaultExecutable() {
  std::string path = ownDirectory() + "/bootstrap-installer";
  return access(path.c_str(), F_OK) == 0 ? path : "";
}

std::string defaultModule() {
  std::string dir = ownDirectory();
  return firstExisting(
      dir + "/" + kDesktopModuleName,
      dir + "/../lib/bootstrap-installer/" + kDesktopModuleName);
}
