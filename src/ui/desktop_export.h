#ifndef BOOTSTRAP_UI_DESKTOP_EXPORT_H_
#define BOOTSTRAP_UI_DESKTOP_EXPORT_H_

#include <memory>

#include "ui/backend.h"
#include "ui/desktop_abi.h"

// The module's side of the boundary: backend as a C handle, which owns it
// until the table's destroy.
BootstrapDesktop* exportBackend(std::unique_ptr<UiBackend> backend);

// The operations on such a handle.
const BootstrapDesktopApi* exportedDesktopApi();

#endif
