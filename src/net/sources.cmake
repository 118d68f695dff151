# Sources of the URL session, listed for the top-level build.
set(LAYER_SOURCES
  src/net/curl_answer.cpp
  src/net/curl_options.cpp
  src/net/curl_transfer.cpp
  src/net/proxy_route.cpp
  src/net/response_headers.cpp
  src/net/resume_rules.cpp
  src/net/session_settings.cpp
  src/net/url_session.cpp
)
set(LAYER_TESTS
  src/net/proxy_route_test.cpp
  src/net/response_headers_test.cpp
  src/net/resume_rules_test.cpp
  src/net/session_settings_test.cpp
  src/net/url_session_cancel_test.cpp
  src/net/url_session_fixture.cpp
  src/net/url_session_retry_test.cpp
  src/net/url_session_stall_test.cpp
  src/net/url_session_test.cpp
)
# What each platform does its own way, in files named for it; a port lists
# its own files here instead (docs/DEVELOPMENT.md, "A macOS port supplies").
list(APPEND LAYER_SOURCES
  src/net/system_random_linux.cpp
)
