#include "ui/desktop_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdint.h>
#include <unistd.h>

#include <algorithm>

#include "common/text.h"
#include "platform/bundle_paths.h"
#include "platform/executable_path.h"
#include "ui/desktop_import.h"

#define BOOTSTRAP_STRINGIFY2(x) #x
#define BOOTSTRAP_STRINGIFY(x) BOOTSTRAP_STRINGIFY2(x)

namespace {

// The module's export named symbol; null with *why set.
void* findEntry(const char* symbol, std::string* why) {
  std::string exeDir = cutAtLastSeparator(executablePath());
  std::string path = findDesktopModule(exeDir);
  if (path.empty()) {
    *why = std::string("no ") + kDesktopModuleName + " in " + exeDir +
           " or " + joinPath(exeDir, kInstalledModuleDir);
    return nullptr;
  }
  // Never closed: a window system cannot be unloaded safely. A second
  // dlopen finds the module loaded already.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* error = dlerror();
    *why = error ? error : "cannot load " + path;
    return nullptr;
  }
  void* entry = dlsym(module, symbol);
  if (!entry) *why = path + " is not a desktop window module";
  return entry;
}

}  // namespace

std::string findDesktopModule(const std::string& exeDir) {
  for (const std::string& path :
       {joinPath(exeDir, kDesktopModuleName),
        joinPath(joinPath(exeDir, kInstalledModuleDir), kDesktopModuleName)})
    if (access(path.c_str(), F_OK) == 0) return path;
  return "";
}

std::unique_ptr<UiBackend> loadDesktopBackend(std::string* why) {
  auto entry = reinterpret_cast<DesktopEntryFn>(
      findEntry(BOOTSTRAP_STRINGIFY(BOOTSTRAP_DESKTOP_ENTRY), why));
  if (!entry) return nullptr;
  char reason[256] = "";
  const BootstrapDesktopApi* api = nullptr;
  BootstrapDesktop* desktop = entry(&api, reason, sizeof reason);
  if (!desktop || !api) {
    *why = reason;
    return nullptr;
  }
  return importBackend(api, desktop);
}

bool desktopProxiesFor(const std::string& url,
                       std::chrono::milliseconds timeout,
                       const std::function<bool()>& stopped,
                       std::string* answer, std::string* why) {
  auto entry = reinterpret_cast<ProxyEntryFn>(
      findEntry(BOOTSTRAP_STRINGIFY(BOOTSTRAP_PROXY_ENTRY), why));
  if (!entry) return false;
  char out[4096] = "";
  int timeoutMs = static_cast<int>(
      std::max<int64_t>(0, std::min<int64_t>(timeout.count(), INT_MAX)));
  ProxyStopFn stop = [](void* context) {
    return (*static_cast<const std::function<bool()>*>(context))() ? 1 : 0;
  };
  int answered =
      entry(url.c_str(), timeoutMs, stop,
            const_cast<std::function<bool()>*>(&stopped), out, sizeof out);
  (answered ? *answer : *why) = out;
  return answered != 0;
}

FailureEntryFn loadFailureWindowEntry(std::string* why) {
  return reinterpret_cast<FailureEntryFn>(
      findEntry(BOOTSTRAP_STRINGIFY(BOOTSTRAP_FAILURE_ENTRY), why));
}
