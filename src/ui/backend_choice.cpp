#include "ui/backend.h"

#include "platform/log.h"
#include "ui/desktop_module.h"

namespace {

bool isForced(const Settings& settings, const char* choice) {
  return settings.ui && *settings.ui == choice;
}

// The module knows only that the display did not open.
std::string whyNoDesktop(const std::string& why, const Settings& settings) {
  if (why != "cannot open display") return why;
  if (settings.display.empty())
    return "no display: DISPLAY and WAYLAND_DISPLAY are unset";
  return why + " " + settings.display;
}

}  // namespace

bool inDesktopSession(const Settings& settings) {
  return !settings.display.empty();
}

bool desktopWanted(const Settings& settings) {
  return !isForced(settings, "console") &&
         (isForced(settings, "gtk") || inDesktopSession(settings));
}

std::unique_ptr<UiBackend> makeBackend(const Settings& settings) {
  if (settings.ui && !isForced(settings, "console") &&
      !isForced(settings, "gtk"))
    logLine("ZR_BOOTSTRAP_UI=%s is neither console nor gtk; ignored",
            settings.ui->c_str());
  if (desktopWanted(settings)) {
    std::string why;
    if (std::unique_ptr<UiBackend> desktop = loadDesktopBackend(&why))
      return desktop;
    logLine("No desktop window (%s); showing the download on the console",
            whyNoDesktop(why, settings).c_str());
  }
  return makeConsoleBackend();
}
