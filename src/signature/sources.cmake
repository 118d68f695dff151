# Sources of the agents' signature check, listed for the top-level build.
set(LAYER_SOURCES
  src/signature/background_hasher.cpp
  src/signature/minisign_format.cpp
  src/signature/signature_check.cpp
  src/signature/signature_url.cpp
)
set(LAYER_TESTS
  src/signature/background_hasher_test.cpp
  src/signature/minisign_format_test.cpp
  src/signature/signature_check_test.cpp
  src/signature/signature_url_test.cpp
)
