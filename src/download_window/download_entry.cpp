#include "download_window/download_entry.h"

#include <mutex>

#include "download_window/download.h"
#include "platform/log.h"
#include "ui/backend.h"
#include "ui/window_title.h"

std::string downloadTo;
std::string downloadFrom;

namespace {

char** const EMPTY_ARGV = nullptr;
ReportFn unpackReport = nullptr;
const Settings* runSettings = nullptr;

// The open window, reachable from other threads while its loop may run.
// The lock is held across dispatchSync: the loop never takes it, and a
// loop that has ended drops the work at once.
std::mutex windowMutex;
MainLoop* openLoop = nullptr;
Window* openWindow = nullptr;
bool closeRequested = false;
const char* cancellingSignal = nullptr;  // the first signal that closed it

// Set on the main thread, read there once the window is gone.
bool cancelled = false;
bool showedFailure = false;

const char* signalThatCancelled() {
  std::lock_guard<std::mutex> lock(windowMutex);
  return cancellingSignal;
}

// One line before "Installation failed.", so that a cancel is not taken for
// a fault.
void logCancel() {
  cancelled = true;
  if (const char* signalName = signalThatCancelled())
    logLine("Download cancelled by signal %s", signalName);
  else
    logLine("Download cancelled by the user");
}

// Publishes the window for the loop's lifetime; false when it was closed
// before it opened.
class OpenWindow {
 public:
  OpenWindow(MainLoop& loop, Window& window) {
    std::lock_guard<std::mutex> lock(windowMutex);
    if (closeRequested) return;
    openLoop = &loop;
    openWindow = &window;
  }
  ~OpenWindow() {
    std::lock_guard<std::mutex> lock(windowMutex);
    openLoop = nullptr;
    openWindow = nullptr;
  }
  bool isOpen() const {
    std::lock_guard<std::mutex> lock(windowMutex);
    return openLoop != nullptr;
  }
};

}  // namespace

void closeDownloadWindow(const char* signalName) {
  std::lock_guard<std::mutex> lock(windowMutex);
  closeRequested = true;
  if (!cancellingSignal) cancellingSignal = signalName;
  if (!openLoop) return;
  Window* window = openWindow;
  openLoop->dispatchSync([window] { window->close(); });
}

int CallNSApplicationMain(int /*argc*/, char** /*argv*/,
                          std::string* agentDir) {
  std::unique_ptr<UiBackend> backend = makeBackend(*runSettings);
  Download controller(backend->outlets(), backend->loop(), *runSettings,
                      unpackReport);
  controller.init();
  OpenWindow open(backend->loop(), *backend->outlets().window);
  if (!open.isOpen()) {
    logCancel();
    return 0;
  }
  backend->show(bundleWindowTitle());
  controller.applicationDidFinishLaunching();
  int status = backend->loop().run();
  if (controller.cancelled()) {
    logCancel();
    // The user said no; a signal (a logout, a shutdown) did not.
    if (!signalThatCancelled()) controller.forgetPartialDownload();
  }
  showedFailure = controller.failed();
  *agentDir = status != 0 ? controller.installAgentLocation() : "";
  return status;
}

bool downloadWasCancelled() { return cancelled; }

bool downloadShowedFailure() { return showedFailure; }

bool downloadInstallAgentFromZR(const char* target, const char* url,
                                const Settings& settings, ReportFn report,
                                std::string* agentDir) {
  downloadTo = target;
  downloadFrom = settings.agentUrl ? *settings.agentUrl : url;
  unpackReport = report;
  runSettings = &settings;
  return CallNSApplicationMain(0, EMPTY_ARGV, agentDir) != 0;
}
