#include "download_window/download_entry.h"

#include <stdlib.h>

#include "download_window/download.h"
#include "platform/bundle_paths.h"
#include "ui/backend.h"

std::string downloadTo;
std::string downloadFrom;

namespace {

char** const EMPTY_ARGV = nullptr;
ReportFn unpackReport = nullptr;

// What is being installed: the bundle's name without ".app".
std::string windowTitle() {
  std::string name = mainBundle().bundlePath;
  name = name.substr(name.find_last_of('/') + 1);
  const std::string app = ".app";
  if (name.size() > app.size() &&
      name.compare(name.size() - app.size(), app.size(), app) == 0)
    name.resize(name.size() - app.size());
  return name.empty() ? "Installer" : name;
}

}  // namespace

int CallNSApplicationMain(int /*argc*/, char** /*argv*/) {
  std::unique_ptr<UiBackend> backend = makeBackend();
  Download controller(backend->outlets(), backend->loop(), unpackReport);
  controller.init();
  backend->show(windowTitle());
  controller.applicationDidFinishLaunching();
  return backend->loop().run();
}

bool downloadInstallAgentFromZR(const char* target, const char* url,
                                ReportFn report) {
  const char* override = getenv("ZR_INTERNAL_INSTALL_AGENT_URL");
  downloadTo = target;
  downloadFrom = override ? override : url;
  unpackReport = report;
  return CallNSApplicationMain(0, EMPTY_ARGV) != 0;
}
