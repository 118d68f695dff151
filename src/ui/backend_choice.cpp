#include "ui/backend.h"

#include <stdlib.h>
#include <string.h>

#include "platform/log.h"
#include "ui/desktop_module.h"

namespace {

bool isSet(const char* name) {
  const char* value = getenv(name);
  return value && *value;
}

}  // namespace

std::unique_ptr<UiBackend> makeBackend() {
  const char* forced = getenv("ZR_BOOTSTRAP_UI");
  bool wantConsole = forced && strcmp(forced, "console") == 0;
  bool wantDesktop = forced && strcmp(forced, "gtk") == 0;
  if (forced && !wantConsole && !wantDesktop)
    logLine("ZR_BOOTSTRAP_UI=%s is neither console nor gtk; ignored", forced);
  if (!wantConsole &&
      (wantDesktop || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"))) {
    std::string why;
    if (std::unique_ptr<UiBackend> desktop = loadDesktopBackend(&why))
      return desktop;
    logLine("No desktop window (%s); showing the download on the console",
            why.c_str());
  }
  return makeConsoleBackend();
}
