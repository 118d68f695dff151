#include "shipped_tools.h"

#include <unistd.h>

#include "platform/bundle_paths.h"
#include "platform/executable_path.h"
#include "ui/desktop_module.h"

namespace {

std::string ownDirectory() { return cutAtLastSeparator(executablePath()); }

}  // namespace

std::string defaultExecutable() {
  std::string path = ownDirectory() + "/bootstrap-installer";
  return access(path.c_str(), F_OK) == 0 ? path : "";
}

std::string defaultModule() { return findDesktopModule(ownDirectory()); }
