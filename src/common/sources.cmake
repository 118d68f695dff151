# Sources of the helpers every layer may use, listed for the top-level build.
set(LAYER_SOURCES
  src/common/settings.cpp
  src/common/text.cpp
  src/common/write_all.cpp
)
set(LAYER_TESTS
  src/common/settings_test.cpp
  src/common/text_test.cpp
)
