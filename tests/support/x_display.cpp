#include "support/x_display.h"

// Before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace {

const int kStartTimeoutMs = 10000;
const int kStopTimeoutMs = 5000;
const int kPollMs = 20;

// Windows come and go under the test's feet: a request on one that is gone
// must not end the test process, as Xlib's default handler would.
int xErrors = 0;
int countError(Display*, XErrorEvent*) {
  ++xErrors;
  return 0;
}

double nowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// fdText is displayFd written out before the fork: the child of a
// threaded process should not allocate.
[[noreturn]] void execServer(int displayFd, const char* fdText, pid_t test) {
  // A test killed at its time limit takes its server along.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != test) _exit(1);
  fcntl(displayFd, F_SETFD, 0);
  int devNull = open("/dev/null", O_RDWR);
  dup2(devNull, 0);
  dup2(devNull, 1);
  dup2(devNull, 2);
  execlp("Xvfb", "Xvfb", "-displayfd", fdText, "-screen", "0", "1280x800x24",
         "-nolisten", "tcp", static_cast<char*>(nullptr));
  _exit(127);
}

// The first line written to fd, without its newline; empty when none
// comes within timeoutMs.
std::string readLine(int fd, int timeoutMs) {
  std::string line;
  double deadline = nowMs() + timeoutMs;
  struct pollfd pfd = {fd, POLLIN, 0};
  while (line.find('\n') == std::string::npos) {
    int waitMs = static_cast<int>(deadline - nowMs());
    if (waitMs <= 0 || poll(&pfd, 1, waitMs) <= 0) return "";
    char buffer[64];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return "";
    line.append(buffer, static_cast<size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

bool waitForExit(pid_t pid, int timeoutMs) {
  double deadline = nowMs() + timeoutMs;
  while (waitpid(pid, nullptr, WNOHANG) == 0) {
    if (nowMs() > deadline) return false;
    usleep(kPollMs * 1000);
  }
  return true;
}

std::vector<Window> childrenOf(Display* display, Window window) {
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  std::vector<Window> list;
  if (XQueryTree(display, window, &root, &parent, &children, &count))
    list.assign(children, children + count);
  if (children) XFree(children);
  return list;
}

bool isViewable(Display* display, Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(display, window, &attributes) &&
         attributes.map_state == IsViewable;
}

// A text property's bytes as stored: an ASCII title reads the same in
// STRING, COMPOUND_TEXT and UTF8_STRING.
std::string propertyText(Display* display, Window window, const char* name) {
  Atom type;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0,
                         1024, False, AnyPropertyType, &type, &format, &count,
                         &after, &data) == Success &&
      data && format == 8)
    text.assign(reinterpret_cast<char*>(data), count);
  if (data) XFree(data);
  return text;
}

bool isTitled(Display* display, Window window, const std::string& title) {
  return isViewable(display, window) &&
         (propertyText(display, window, "_NET_WM_NAME") == title ||
          propertyText(display, window, "WM_NAME") == title);
}

// A window manager sends WM_DELETE_WINDOW only to windows that ask for it.
bool takesDelete(Display* display, Window window, Atom deleteAtom) {
  Atom* protocols = nullptr;
  int count = 0;
  bool found = false;
  if (XGetWMProtocols(display, window, &protocols, &count))
    for (int i = 0; i < count; ++i) found = found || protocols[i] == deleteAtom;
  if (protocols) XFree(protocols);
  return found;
}

// Runs what was queued on the connection; false if the server refused any.
bool synced(Display* display, int errorsBefore) {
  XSync(display, False);
  return xErrors == errorsBefore;
}

// The window's rectangle on the root, clipped to the screen.
bool screenRect(Display* display, Window window, int* x, int* y, int* width,
                int* height) {
  XWindowAttributes attributes, rootAttributes;
  Window root = DefaultRootWindow(display), child;
  if (!XGetWindowAttributes(display, window, &attributes) ||
      attributes.map_state != IsViewable ||
      !XGetWindowAttributes(display, root, &rootAttributes) ||
      !XTranslateCoordinates(display, window, root, 0, 0, x, y, &child))
    return false;
  int right = std::min(*x + attributes.width, rootAttributes.width);
  int bottom = std::min(*y + attributes.height, rootAttributes.height);
  *x = std::max(*x, 0);
  *y = std::max(*y, 0);
  *width = right - *x;
  *height = bottom - *y;
  return *width > 0 && *height > 0;
}

uint8_t channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  for (; !(mask & 1); mask >>= 1) pixel >>= 1;
  return static_cast<uint8_t>((pixel & mask) * 255 / mask);
}

void toRgb(XImage* source, RgbImage* image) {
  image->width = source->width;
  image->height = source->height;
  image->pixels.clear();
  image->pixels.reserve(3 * static_cast<size_t>(source->width) *
                        static_cast<size_t>(source->height));
  for (int y = 0; y < source->height; ++y)
    for (int x = 0; x < source->width; ++x) {
      unsigned long pixel = XGetPixel(source, x, y);
      image->pixels.push_back(channel(pixel, source->red_mask));
      image->pixels.push_back(channel(pixel, source->green_mask));
      image->pixels.push_back(channel(pixel, source->blue_mask));
    }
}

}  // namespace

XDisplay::XDisplay() {
  XSetErrorHandler(countError);
  if (!start()) ADD_FAILURE() << "no X server came up (is Xvfb installed?)";
}

XDisplay::~XDisplay() {
  if (display_) XCloseDisplay(display_);
  if (pid_ <= 0) return;
  // SIGTERM lets the server remove its lock file and socket.
  kill(pid_, SIGTERM);
  if (!waitForExit(pid_, kStopTimeoutMs)) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool XDisplay::start() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  const std::string fdText = std::to_string(fds[1]);
  const pid_t test = getpid();
  pid_ = fork();
  if (pid_ == 0) execServer(fds[1], fdText.c_str(), test);
  close(fds[1]);
  std::string number = readLine(fds[0], kStartTimeoutMs);
  close(fds[0]);
  if (pid_ < 0 || number.empty()) return false;
  name_ = ":" + number;
  display_ = XOpenDisplay(name_.c_str());
  return display_ != nullptr;
}

XWindowId XDisplay::findMapped(const std::string& title) {
  for (Window top : childrenOf(display_, DefaultRootWindow(display_))) {
    if (isTitled(display_, top, title)) return top;
    // Under a window manager the titled window is a frame's child.
    for (Window inner : childrenOf(display_, top))
      if (isTitled(display_, inner, title)) return inner;
  }
  return 0;
}

XWindowId XDisplay::findWindow(const std::string& title, int timeoutMs) {
  if (!display_) return 0;
  double deadline = nowMs() + timeoutMs;
  for (;;) {
    if (XWindowId window = findMapped(title)) return window;
    if (nowMs() > deadline) return 0;
    usleep(kPollMs * 1000);
  }
}

bool XDisplay::waitUntilGone(const std::string& title, int timeoutMs) {
  if (!display_) return false;
  double deadline = nowMs() + timeoutMs;
  while (findMapped(title)) {
    if (nowMs() > deadline) return false;
    usleep(kPollMs * 1000);
  }
  return true;
}

bool XDisplay::sendDelete(XWindowId window) {
  if (!display_) return false;
  Atom deleteAtom = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  if (!takesDelete(display_, window, deleteAtom)) return false;
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(deleteAtom);
  event.xclient.data.l[1] = CurrentTime;
  int errors = xErrors;
  return XSendEvent(display_, window, False, NoEventMask, &event) &&
         synced(display_, errors);
}

bool XDisplay::destroy(XWindowId window) {
  if (!display_) return false;
  int errors = xErrors;
  XDestroyWindow(display_, window);
  return synced(display_, errors);
}

bool XDisplay::pressReturn(XWindowId window) {
  return pressKey(window, XK_Return);
}

bool XDisplay::pressEscape(XWindowId window) {
  return pressKey(window, XK_Escape);
}

bool XDisplay::pressSpace(XWindowId window) {
  return pressKey(window, XK_space);
}

bool XDisplay::pressKey(XWindowId window, unsigned long keysym) {
  int ignored;
  if (!display_ || !XTestQueryExtension(display_, &ignored, &ignored, &ignored,
                                        &ignored))
    return false;
  KeyCode key = XKeysymToKeycode(display_, keysym);
  int errors = xErrors;
  XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
  XTestFakeKeyEvent(display_, key, True, CurrentTime);
  XTestFakeKeyEvent(display_, key, False, CurrentTime);
  return key != 0 && synced(display_, errors);
}

bool XDisplay::capture(XWindowId window, RgbImage* image) {
  int x, y, width, height;
  if (!display_ || !screenRect(display_, window, &x, &y, &width, &height))
    return false;
  // The root, not the window: what is on screen there, whatever the
  // window's own visual.
  XImage* source =
      XGetImage(display_, DefaultRootWindow(display_), x, y,
                static_cast<unsigned>(width), static_cast<unsigned>(height),
                AllPlanes, ZPixmap);
  if (!source) return false;
  toRgb(source, image);
  XDestroyImage(source);
  return true;
}

std::string deadDisplayName() {
  for (int number = 9000; number < 10000; ++number) {
    std::string n = std::to_string(number);
    struct stat st;
    if (stat(("/tmp/.X11-unix/X" + n).c_str(), &st) != 0 &&
        stat(("/tmp/.X" + n + "-lock").c_str(), &st) != 0)
      return ":" + n;
  }
  return "";
}

bool savePng(const RgbImage& image, const std::string& path) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(
      image.pixels.data(), GDK_COLORSPACE_RGB, FALSE, 8, image.width,
      image.height, image.width * 3, nullptr, nullptr);
  if (!pixbuf) return false;
  GError* error = nullptr;
  bool saved = gdk_pixbuf_save(pixbuf, path.c_str(), "png", &error, nullptr);
  if (error) {
    ADD_FAILURE() << "cannot save " << path << ": " << error->message;
    g_error_free(error);
  }
  g_object_unref(pixbuf);
  return saved;
}
