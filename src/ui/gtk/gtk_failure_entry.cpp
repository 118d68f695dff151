#include <stddef.h>

#include <string>
#include <type_traits>
#include <vector>

#include "ui/desktop_module.h"
#include "ui/gtk/gtk_failure_window.h"
#include "ui/gtk/gtk_toolkit.h"

extern "C" __attribute__((visibility("default"))) void BOOTSTRAP_FAILURE_ENTRY(
    const char* title, const char* const* lines, size_t count,
    const char* details, int closeFd) {
  char unsaid[256];  // the executable has no word left to say it in
  if (!startToolkit(unsaid, sizeof unsaid)) return;
  FailureLayout layout(title, std::vector<std::string>(lines, lines + count),
                       details);
  runUntilClosed(layout, closeFd);
}

static_assert(
    std::is_same<decltype(&BOOTSTRAP_FAILURE_ENTRY), FailureEntryFn>::value,
    "the entry must match what the executable looks up");
