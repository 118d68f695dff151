#include "download_window/download_entry.h"

#include <stdlib.h>

#include "download_window/download.h"
#include "ui/backend.h"

std::string downloadTo;
std::string downloadFrom;

namespace {

char** const EMPTY_ARGV = nullptr;
ReportFn unpackReport = nullptr;

}  // namespace

int CallNSApplicationMain(int /*argc*/, char** /*argv*/) {
  std::unique_ptr<UiBackend> backend = makeConsoleBackend();
  Download controller(backend->outlets(), backend->loop(), unpackReport);
  controller.init();
  backend->show("Installer");
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
