# Sources of the bootstrap sequence, listed for the top-level build;
# main.cpp is the executable's own.
set(LAYER_SOURCES
  src/bootstrap/bootstrap_sequence.cpp
  src/bootstrap/bundle_check.cpp
  src/bootstrap/console_reporter.cpp
  src/bootstrap/credentials.cpp
  src/bootstrap/failure_report.cpp
  src/bootstrap/signal_watch.cpp
)
set(LAYER_TESTS
  src/bootstrap/bootstrap_sequence_test.cpp
  src/bootstrap/bundle_check_test.cpp
  src/bootstrap/failure_report_test.cpp
)
# What each platform does its own way, in files named for it; a port lists
# its own files here instead (docs/DEVELOPMENT.md, "A macOS port supplies").
list(APPEND LAYER_SOURCES
  src/bootstrap/signal_wait_linux.cpp
)
