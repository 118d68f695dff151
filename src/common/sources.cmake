# Sources of the helpers every layer may use, listed for the top-level build.
set(LAYER_SOURCES
  src/common/text.cpp
  src/common/write_all.cpp
)
set(LAYER_TESTS
  src/common/text_test.cpp
)
