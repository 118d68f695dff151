#ifndef BOOTSTRAP_UI_DESKTOP_IMPORT_H_
#define BOOTSTRAP_UI_DESKTOP_IMPORT_H_

#include <memory>

#include "ui/backend.h"
#include "ui/desktop_abi.h"

// The executable's side of the boundary: the module's window, reached
// through api, as a backend; destroying the backend destroys the window.
std::unique_ptr<UiBackend> importBackend(const BootstrapDesktopApi* api,
                                         BootstrapDesktop* desktop);

#endif
