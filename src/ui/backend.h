#ifndef BOOTSTRAP_UI_BACKEND_H_
#define BOOTSTRAP_UI_BACKEND_H_

#include <memory>
#include <string>

#include "common/settings.h"
#include "ui/main_loop.h"
#include "ui/widgets.h"

// A window system: a loop and one download window with its controls.
class UiBackend {
 public:
  virtual ~UiBackend() = default;
  virtual MainLoop& loop() = 0;
  virtual DownloadWindowOutlets outlets() = 0;
  // Puts the window on screen (if the backend has a screen) with the title.
  virtual void show(const std::string& title) = 0;
};

// Whether this run is in a desktop session: DISPLAY or WAYLAND_DISPLAY is
// set.
bool inDesktopSession(const Settings& settings);

// Whether this run looks for a desktop: ZR_BOOTSTRAP_UI=console says no,
// =gtk says yes; otherwise DISPLAY or WAYLAND_DISPLAY being set does.
bool desktopWanted(const Settings& settings);

// The window system for this run: the desktop window when a desktop is
// wanted and its module loads, else the console. A desktop window that
// cannot be had is logged, and the console stands in.
std::unique_ptr<UiBackend> makeBackend(const Settings& settings);

// The console window: status and failures on standard error, a live
// progress line when standard error is a terminal. It closes itself after
// showing a failure, since nobody can press its button.
std::unique_ptr<UiBackend> makeConsoleBackend();

#endif
