#ifndef BOOTSTRAP_TESTS_SUPPORT_X_DISPLAY_H_
#define BOOTSTRAP_TESTS_SUPPORT_X_DISPLAY_H_

#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

typedef struct _XDisplay Display;

// An X window's id: Xlib's Window, a name that ui/widgets.h takes for a
// class of its own.
using XWindowId = unsigned long;

// Pixels as a user sees them, 3 bytes (red, green, blue) each, row by row.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// A private X server (Xvfb, 1280x800, 24 bits) for one test, and what a
// test does to the windows on it as a user would, without a window manager.
// Every wait is bounded. A server that does not come up fails the test.
class XDisplay {
 public:
  // Starts the server on a free display number and connects to it.
  XDisplay();
  // Disconnects, then stops the server and waits for it.
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  // Whether the server came up and answers.
  bool ok() const { return display_ != nullptr; }
  // ":<number>", for DISPLAY.
  const std::string& name() const { return name_; }

  // The mapped top-level window titled exactly title (WM_NAME or
  // _NET_WM_NAME), on the root or one level down; 0 when none shows
  // within timeoutMs.
  XWindowId findWindow(const std::string& title, int timeoutMs);
  // True once no mapped window is titled title, within timeoutMs.
  bool waitUntilGone(const std::string& title, int timeoutMs);

  // The window manager's request to close, WM_DELETE_WINDOW; false when
  // the window is gone or does not take it.
  bool sendDelete(XWindowId window);
  // Destroys the window as a session that ends may, behind its owner's
  // back; false when it is gone already.
  bool destroy(XWindowId window);
  // Focuses the window and types Return (or Escape, or Space) through
  // XTest; false when the window is gone.
  bool pressReturn(XWindowId window);
  bool pressEscape(XWindowId window);
  bool pressSpace(XWindowId window);

  // What the screen shows where the window is (a screenshot, for
  // savePng); false when it is gone.
  bool capture(XWindowId window, RgbImage* image);

 private:
  bool start();
  XWindowId findMapped(const std::string& title);
  bool pressKey(XWindowId window, unsigned long keysym);

  pid_t pid_ = -1;
  std::string name_;
  Display* display_ = nullptr;
};

// A DISPLAY value with no server behind it.
std::string deadDisplayName();

// Writes the image as a PNG file.
bool savePng(const RgbImage& image, const std::string& path);

#endif
