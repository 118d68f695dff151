#ifndef BOOTSTRAP_NET_SESSION_SETTINGS_H_
#define BOOTSTRAP_NET_SESSION_SETTINGS_H_

#include <stdint.h>

#include <chrono>
#include <string>

#include "common/settings.h"

// What a URL session takes from the run's settings and the build: its
// limit on silence, its retries, whom HTTPS trusts, and how it names
// itself.

// The limit on silence, in seconds, that ZR_BOOTSTRAP_STALL_SECONDS sets
// (value is its text, null when unset): a transfer that receives nothing
// for that long after connecting, or cannot connect within it, or whose
// answer's header is not complete that long after the request went out,
// fails with kTransport. Anything but a decimal integer from 1 to 2147483
// (libcurl's limit) gives the default, 60.
int stallSeconds(const char* value);
// As patient as the platform's own URL sessions: a scanning proxy may hold
// an answer back until it has checked it.
constexpr int kDefaultStallSeconds = 60;

// When and how often a transfer that failed transiently is tried again: a
// refused or reset connection, a cut body, a stall, or status 408, 429 or
// 5xx. A retry resumes with Range and If-Range when the answer carried a
// strong ETag or a Last-Modified date, else starts over; a whole new body
// (a 200, whatever its ETag) starts over too. The chunks reported never
// count a byte twice. The last failure is the one reported.
struct RetryPolicy {
  int retries = 3;
  // Waits before the retries: up to firstDelay, the cap doubling with each
  // one, unless the server's Retry-After says otherwise (then at most
  // longestWait). See retryDelay.
  std::chrono::milliseconds firstDelay{1000};
  std::chrono::milliseconds longestWait{30000};
};

// The wait before retry number retry (from 1): what the server asked for
// in Retry-After (retryAfterSeconds >= 0), at most longestWait; else draw
// (from 0 to 1) times a cap of firstDelay doubled for each retry before,
// so that clients that failed together do not all come back together.
std::chrono::milliseconds retryDelay(const RetryPolicy& policy, int retry,
                                     int64_t retryAfterSeconds, double draw);

// The policy that ZR_BOOTSTRAP_RETRIES sets (value is its text, null when
// unset): a decimal integer from 0 to 10 is the number of retries; anything
// else keeps the default, 3.
RetryPolicy retryPolicy(const char* value);

// Where HTTPS looks for trusted certificates; empty fields keep libcurl's
// defaults. Verification itself stays on.
struct TrustStore {
  std::string bundleFile;
  std::string directory;
};

// What a session is made with: the limit on silence, whom HTTPS trusts,
// and its retries.
struct SessionSettings {
  int stallSeconds = kDefaultStallSeconds;
  TrustStore trust;
  RetryPolicy retry;
};

// The session settings of a run's: ZR_BOOTSTRAP_STALL_SECONDS,
// ZR_BOOTSTRAP_RETRIES and the trust store's variables.
SessionSettings sessionSettings(const Settings& settings);

// What every request names in User-Agent: the installer and its version.
extern const char kUserAgent[];

#endif
