# Sources of the download window's controller, listed for the top-level build.
set(LAYER_SOURCES
  src/download_window/agent_signature.cpp
  src/download_window/agent_verification.cpp
  src/download_window/download.cpp
  src/download_window/download_entry.cpp
  src/download_window/download_view.cpp
  src/download_window/proxy_choice.cpp
  src/download_window/small_download.cpp
)
set(LAYER_TESTS
  src/download_window/agent_verification_test.cpp
  src/download_window/download_test.cpp
  src/download_window/download_view_test.cpp
  src/download_window/proxy_choice_test.cpp
)
