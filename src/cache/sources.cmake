# Sources of the per-user agent cache, listed for the top-level build.
set(LAYER_SOURCES
  src/cache/agent_in_use.cpp
  src/cache/leftovers.cpp
  src/cache/locations.cpp
  src/cache/lock.cpp
  src/cache/trust.cpp
  src/cache/update.cpp
  src/cache/validation_marker.cpp
)
set(LAYER_TESTS
  src/cache/leftovers_test.cpp
  src/cache/locations_test.cpp
  src/cache/lock_test.cpp
  src/cache/trust_test.cpp
  src/cache/update_test.cpp
  src/cache/validation_marker_test.cpp
)
