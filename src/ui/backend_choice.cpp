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

bool isForced(const char* choice) {
  const char* forced = getenv("ZR_BOOTSTRAP_UI");
  return forced && strcmp(forced, choice) == 0;
}

}  // namespace

bool inDesktopSession() {
  return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

bool desktopWanted() {
  return !isForced("console") && (isForced("gtk") || inDesktopSession());
}

std::unique_ptr<UiBackend> makeBackend() {
  const char* forced = getenv("ZR_BOOTSTRAP_UI");
  if (forced && !isForced("console") && !isForced("gtk"))
    logLine("ZR_BOOTSTRAP_UI=%s is neither console nor gtk; ignored", forced);
  if (desktopWanted()) {
    std::string why;
    if (std::unique_ptr<UiBackend> desktop = loadDesktopBackend(&why))
      return desktop;
    logLine("No desktop window (%s); showing the download on the console",
            why.c_str());
  }
  return makeConsoleBackend();
}
