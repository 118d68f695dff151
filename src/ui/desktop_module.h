#ifndef BOOTSTRAP_UI_DESKTOP_MODULE_H_
#define BOOTSTRAP_UI_DESKTOP_MODULE_H_

#include <stddef.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "ui/backend.h"
#include "ui/desktop_abi.h"

// The desktop window lives in a module beside the executable, so that the
// executable itself links no window-system library and starts anywhere.
const char kDesktopModuleName[] = "bootstrap-installer-gtk.so";

// Where an installed module sits, from the directory of an installed
// executable; the build's install rule puts it there.
const char kInstalledModuleDir[] = "../" BOOTSTRAP_MODULE_INSTALL_DIR;

// The module that the executable (or make-bundle) in exeDir takes: the
// first that exists beside it, as in a bundle, then in kInstalledModuleDir.
// The first one is the one meant: a broken module there is reported, not
// skipped. Empty when there is none.
std::string findDesktopModule(const std::string& exeDir);

// What the module exports, unmangled: a new download window, with in *api
// the operations on it (see desktop_abi.h), or null with a one-line reason
// written into why (at most whySize bytes with the NUL). The caller
// destroys the window through *api. The name changes with the table, so
// that a module of another build is no module rather than a wrong table.
#define BOOTSTRAP_DESKTOP_ENTRY bootstrap_installer_desktop_window_3
extern "C" typedef BootstrapDesktop* (*DesktopEntryFn)(
    const BootstrapDesktopApi** api, char* why, size_t whySize);

// Its second export: shows a window titled title with the count lines, and
// details to copy (unless empty), until the user closes it or closeFd
// (unless -1) becomes readable; returns at once when no display answers.
// The run has said all it has to say by then, so there is no reason to
// hear.
#define BOOTSTRAP_FAILURE_ENTRY bootstrap_installer_failure_window_2
extern "C" typedef void (*FailureEntryFn)(const char* title,
                                          const char* const* lines,
                                          size_t count, const char* details,
                                          int closeFd);

// Its third export: the proxies that the desktop's settings give for url,
// as the system's proxy resolver answers (one URI per line, in the order
// to try them; "direct://" for none), written into out (at most outSize
// bytes with the NUL: lines that do not fit are left out); 1 then, else 0
// with a one-line reason in out. It waits at most timeoutMs for the
// resolver, which may have to fetch an automatic configuration, and gives
// up sooner once stop(context) returns nonzero (asked every 50 ms).
#define BOOTSTRAP_PROXY_ENTRY bootstrap_installer_desktop_proxies
extern "C" typedef int (*ProxyStopFn)(void* context);
extern "C" typedef int (*ProxyEntryFn)(const char* url, int timeoutMs,
                                       ProxyStopFn stop, void* context,
                                       char* out, size_t outSize);

// Loads the module from the executable's directory, or else from
// ../lib/bootstrap-installer/ beside it, and makes its backend; null with
// *why set when there is none to be had.
std::unique_ptr<UiBackend> loadDesktopBackend(std::string* why);

// The module's failure window entry, loaded as above; null with *why set.
FailureEntryFn loadFailureWindowEntry(std::string* why);

// The desktop's proxies for url from the module, loaded as above, waiting
// at most timeout and not once stopped() says so: true with the resolver's
// answer (one URI per line) in *answer, else false with *why.
bool desktopProxiesFor(const std::string& url,
                       std::chrono::milliseconds timeout,
                       const std::function<bool()>& stopped,
                       std::string* answer, std::string* why);

#endif
