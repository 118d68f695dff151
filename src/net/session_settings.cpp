#include "net/session_settings.h"

#include <string.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "common/text.h"

namespace {

// libcurl refuses longer connect timeouts: it counts milliseconds in an int.
const long long kMaxStallSeconds = INT_MAX / 1000;
const int kMaxRetries = 10;

}  // namespace

const char kUserAgent[] = "bootstrap-installer/" BOOTSTRAP_VERSION;

int stallSeconds(const char* value) {
  int64_t seconds = 0;
  if (!value || !parseDecimal(value, kMaxStallSeconds, &seconds) ||
      seconds == 0)
    return kDefaultStallSeconds;
  return static_cast<int>(seconds);
}

std::chrono::milliseconds retryDelay(const RetryPolicy& policy, int retry,
                                     int64_t retryAfterSeconds, double draw) {
  if (retryAfterSeconds < 0) {
    auto cap = policy.firstDelay * (1 << (retry - 1));
    return std::chrono::milliseconds(
        std::llround(static_cast<double>(cap.count()) * draw));
  }
  auto asked =
      std::chrono::seconds(std::min<int64_t>(retryAfterSeconds, INT_MAX));
  return std::min<std::chrono::milliseconds>(asked, policy.longestWait);
}

RetryPolicy retryPolicy(const char* value) {
  RetryPolicy policy;
  int64_t retries = 0;
  // At most two digits: "007" is more likely a slip than seven.
  if (value && strlen(value) <= 2 &&
      parseDecimal(value, kMaxRetries, &retries))
    policy.retries = static_cast<int>(retries);
  return policy;
}

SessionSettings sessionSettings(const Settings& settings) {
  SessionSettings session;
  session.stallSeconds = stallSeconds(
      settings.stallSeconds ? settings.stallSeconds->c_str() : nullptr);
  session.retry = retryPolicy(settings.retries ? settings.retries->c_str()
                                               : nullptr);
  session.trust = {settings.caBundle, settings.caDirectory};
  return session;
}
