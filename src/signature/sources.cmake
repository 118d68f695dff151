# Sources of the agents' signature check, listed for the top-level build.
set(LAYER_SOURCES
  src/signature/minisign_format.cpp
)
set(LAYER_TESTS
  src/signature/minisign_format_test.cpp
)
