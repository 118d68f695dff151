# Sources of the bootstrap sequence, listed for the top-level build;
# main.cpp is the executable's own.
set(LAYER_SOURCES
  src/bootstrap/bootstrap_sequence.cpp
  src/bootstrap/bundle_check.cpp
  src/bootstrap/console_reporter.cpp
  src/bootstrap/signal_watch.cpp
)
set(LAYER_TESTS
  src/bootstrap/bootstrap_sequence_test.cpp
  src/bootstrap/bundle_check_test.cpp
)
