#include "ui/desktop_module.h"

#include <dlfcn.h>

#include "platform/bundle_paths.h"

#define BOOTSTRAP_STRINGIFY2(x) #x
#define BOOTSTRAP_STRINGIFY(x) BOOTSTRAP_STRINGIFY2(x)

std::unique_ptr<UiBackend> loadDesktopBackend(std::string* why) {
  std::string path =
      cutAtLastSeparator(executablePath()) + "/" + kDesktopModuleName;
  // Never closed: a window system cannot be unloaded safely.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* error = dlerror();
    *why = error ? error : "cannot load " + path;
    return nullptr;
  }
  auto entry = reinterpret_cast<DesktopEntryFn>(
      dlsym(module, BOOTSTRAP_STRINGIFY(BOOTSTRAP_DESKTOP_ENTRY)));
  if (!entry) {
    *why = path + " is not a desktop window module";
    return nullptr;
  }
  char reason[256] = "";
  std::unique_ptr<UiBackend> backend(entry(reason, sizeof reason));
  if (!backend) *why = reason;
  return backend;
}
