#include "net/session_settings.h"

#include <stdint.h>

#include <chrono>

#include <gtest/gtest.h>

namespace {

TEST(UrlSessionStallSeconds, OnlyAPositiveIntegerChangesTheDefault) {
  const struct {
    const char* value;
    int seconds;
  } cases[] = {
      {nullptr, 60},      {"", 60},          {"abc", 60},
      {"0", 60},          {"-5", 60},        {"7", 7},
      {"+7", 60},         {" 7", 60},        {"7s", 60},
      {"007", 7},         {"2147483", 2147483},
      {"2147484", 60},    {"99999999999", 60},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stallSeconds(c.value), c.seconds)
        << (c.value ? c.value : "unset");
  }
}

TEST(UrlSessionRetryDelay, TheServerIsHeardElseTheWaitIsDrawnUpToADoublingCap) {
  using Ms = std::chrono::milliseconds;
  const RetryPolicy policy;  // 1 s doubling; the server heard up to 30 s
  const struct {
    int retry;
    int64_t retryAfterSeconds;  // -1: the server asked nothing
    double draw;
    Ms delay;
  } cases[] = {
      {1, -1, 0.0, Ms(0)},       {1, -1, 1.0, Ms(1000)},
      {1, -1, 0.5, Ms(500)},     {3, -1, 0.25, Ms(1000)},
      {3, -1, 1.0, Ms(4000)},    {10, -1, 1.0, Ms(512000)},
      {1, 0, 0.7, Ms(0)},        {2, 5, 0.0, Ms(5000)},
      {2, 5, 1.0, Ms(5000)},     {1, 31, 0.5, Ms(30000)},
      {1, INT64_MAX, 0.5, Ms(30000)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(retryDelay(policy, c.retry, c.retryAfterSeconds, c.draw).count(),
              c.delay.count())
        << "retry " << c.retry << " asked " << c.retryAfterSeconds
        << " draw " << c.draw;
  }
}

TEST(UrlSessionRetryPolicy, OnlyAnIntegerUpToTenChangesTheRetries) {
  const struct {
    const char* value;
    int retries;
  } cases[] = {
      {nullptr, 3}, {"", 3},   {"0", 0},   {"1", 1},  {"10", 10},
      {"11", 3},    {"-1", 3}, {" 2", 3},  {"2x", 3}, {"007", 3},
  };
  for (const auto& c : cases) {
    RetryPolicy policy = retryPolicy(c.value);
    EXPECT_EQ(policy.retries, c.retries) << (c.value ? c.value : "(unset)");
    EXPECT_EQ(policy.firstDelay, std::chrono::seconds(1));
    EXPECT_EQ(policy.longestWait, std::chrono::seconds(30));
  }
}

}  // namespace
