# Sources of the window layer, listed for the top-level build.
set(UI_SOURCES
  src/ui/queue_loop.cpp
  src/ui/console/console_backend.cpp
  src/ui/console/console_window.cpp
  src/ui/console/transfer_line.cpp
)
# The recording fake backend, for tests only.
set(UI_FAKE_SOURCES
  src/ui/fake/fake_backend.cpp
)
set(UI_TEST_SOURCES
  src/ui/queue_loop_test.cpp
  src/ui/console/console_backend_test.cpp
  src/ui/console/transfer_line_test.cpp
)
