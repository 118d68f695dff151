# Sources of the decisions about the agent, listed for the top-level build.
set(LAYER_SOURCES
  src/fetch_policy/first_answer.cpp
  src/fetch_policy/range_answer.cpp
  src/fetch_policy/signature_verdict.cpp
)
set(LAYER_TESTS
  src/fetch_policy/first_answer_test.cpp
  src/fetch_policy/range_answer_test.cpp
  src/fetch_policy/signature_verdict_test.cpp
)
