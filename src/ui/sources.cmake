# Sources of the window layer, listed for the top-level build.
set(LAYER_SOURCES
  src/ui/backend_choice.cpp
  src/ui/desktop_import.cpp
  src/ui/desktop_module.cpp
  src/ui/failure_window.cpp
  src/ui/queue_loop.cpp
  src/ui/transfer_figures.cpp
  src/ui/window_title.cpp
  src/ui/console/console_backend.cpp
  src/ui/console/console_window.cpp
)
set(LAYER_TESTS
  src/ui/desktop_abi_test.cpp
  src/ui/queue_loop_test.cpp
  src/ui/transfer_figures_test.cpp
  src/ui/console/console_backend_test.cpp
)
# Shared by the executable and the desktop module: the loops' dispatches,
# and the module's side of the boundary between them.
set(UI_DISPATCH_SOURCES
  src/ui/desktop_export.cpp
  src/ui/loop_dispatches.cpp
)
# The desktop module's GLib loop, which needs GLib only.
set(UI_GLIB_SOURCES
  src/ui/gtk/glib_loop.cpp
)
# The desktop window, built as a module of its own (see desktop_module.h).
set(UI_GTK_SOURCES
  src/ui/gtk/gtk_backend.cpp
  src/ui/gtk/gtk_failure_entry.cpp
  src/ui/gtk/gtk_failure_window.cpp
  src/ui/gtk/gtk_toolkit.cpp
  src/ui/gtk/gtk_widgets.cpp
  src/ui/gtk/proxy_lookup.cpp
  src/ui/gtk/gtk_window.cpp
)
# The recording fake backend, for tests only.
set(UI_FAKE_SOURCES
  src/ui/fake/fake_backend.cpp
)
