# Sources of the URL session, listed for the top-level build.
set(LAYER_SOURCES
  src/net/curl_transfer.cpp
  src/net/response_headers.cpp
  src/net/resume_rules.cpp
  src/net/session_settings.cpp
  src/net/url_session.cpp
)
set(LAYER_TESTS
  src/net/response_headers_test.cpp
  src/net/resume_rules_test.cpp
  src/net/session_settings_test.cpp
  src/net/url_session_cancel_test.cpp
  src/net/url_session_fixture.cpp
  src/net/url_session_retry_test.cpp
  src/net/url_session_stall_test.cpp
  src/net/url_session_test.cpp
)
