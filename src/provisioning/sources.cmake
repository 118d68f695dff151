# Sources of provisioning, listed for the top-level build.
set(LAYER_SOURCES
  src/provisioning/agent_launch.cpp
  src/provisioning/agent_sourcing.cpp
  src/provisioning/endpoint_file.cpp
  src/provisioning/version_order.cpp
)
set(LAYER_TESTS
  src/provisioning/agent_launch_test.cpp
  src/provisioning/agent_sourcing_test.cpp
  src/provisioning/endpoint_file_test.cpp
  src/provisioning/version_order_test.cpp
)
