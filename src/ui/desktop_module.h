#ifndef BOOTSTRAP_UI_DESKTOP_MODULE_H_
#define BOOTSTRAP_UI_DESKTOP_MODULE_H_

#include <stddef.h>

#include <memory>
#include <string>

#include "ui/backend.h"

// The desktop window lives in a module beside the executable, so that the
// executable itself links no window-system library and starts anywhere.
const char kDesktopModuleName[] = "bootstrap-installer-gtk.so";

// What the module exports, unmangled: a new backend, or null with a
// one-line reason written into why (at most whySize bytes with the NUL).
// The caller owns the backend and deletes it through its virtual
// destructor.
#define BOOTSTRAP_DESKTOP_ENTRY bootstrap_installer_desktop_backend
extern "C" typedef UiBackend* (*DesktopEntryFn)(char* why, size_t whySize);

// Loads the module from the executable's directory, or else from
// ../lib/bootstrap-installer/ beside it, and makes its backend; null with
// *why set when there is none to be had.
std::unique_ptr<UiBackend> loadDesktopBackend(std::string* why);

#endif
