#include "net/session_settings.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "common/text.h"

namespace {

// As patient as the platform's own URL sessions: a scanning proxy may hold
// an answer back until it has checked it.
const int kDefaultStallSeconds = 60;
// libcurl refuses longer connect timeouts: it counts milliseconds in an int.
const long long kMaxStallSeconds = INT_MAX / 1000;
const int kMaxRetries = 10;

// The first set and non-empty of two variables, else null.
const char* firstSet(const char* preferred, const char* fallback) {
  const char* value = getenv(preferred);
  if (value && *value) return value;
  value = getenv(fallback);
  return value && *value ? value : nullptr;
}

TrustStore trustStoreFromEnvironment() {
  TrustStore store;
  // The curl tool's order: its own variable before OpenSSL's.
  if (const char* file = firstSet("CURL_CA_BUNDLE", "SSL_CERT_FILE"))
    store.bundleFile = file;
  const char* directory = getenv("SSL_CERT_DIR");
  if (directory && *directory) store.directory = directory;
  return store;
}

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

SessionSettings sessionSettingsFromEnvironment() {
  SessionSettings settings;
  settings.stallSeconds = stallSeconds(getenv("ZR_BOOTSTRAP_STALL_SECONDS"));
  settings.trust = trustStoreFromEnvironment();
  return settings;
}
