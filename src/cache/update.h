#ifndef BOOTSTRAP_CACHE_UPDATE_H_
#define BOOTSTRAP_CACHE_UPDATE_H_

#include <string>

#include "cache/signature_record.h"
#include "common/report_fn.h"

// Whether the cache directory (ending in "/") holds an agent that the
// marker vouches for as the one with this ETag, from sourceUrl; if so, this
// run holds it in use until the process ends, so that no other run
// replaces it while it runs. Decided under the cache's lock, so never
// halfway through another run's replacement.
//
// With bundleKeys (a bundle that verifies its agents), the cached agent
// counts only when its signature record names one of them.
bool claimCachedAgent(const std::string& cacheDir,
                      const std::string& validationString,
                      const std::string& sourceUrl,
                      const std::vector<PublicKey>* bundleKeys = nullptr);

// The validation string in the marker when the cache directory (ending in
// "/") holds an agent from sourceUrl, else empty (an agent from another
// URL is logged); also empty when it could not travel in a header
// (control bytes). Read under the cache's lock.
// With bundleKeys, also empty unless the agent's signature record names
// one of them.
std::string cachedValidationString(
    const std::string& cacheDir, const std::string& sourceUrl,
    const std::vector<PublicKey>* bundleKeys = nullptr);

// How a verified agent is vouched for: the bundle's keys, and the record
// of the signature that was checked.
struct AgentSigning {
  std::vector<PublicKey> bundleKeys;
  SignatureRecord signature;
};

// Puts a freshly downloaded agent archive into the cache directory (ending
// in "/"): unpacked into a staging directory beside "installagent",
// checked for "install", moved into place, and only then vouched for by
// the marker (the ETag, with sourceUrl beside it; with none, no marker is
// left). The move and the
// stamp happen under the cache's lock; when another run has meanwhile put
// in the agent with the same ETag, that one stays. Either way this run
// holds the cached agent in use until it ends.
//
// While another run's agent runs from the cache, the cache is left as it
// is (a later run brings it up to date) and the agent goes into
// fallbackDir (ending in "/") instead, with a log line.
//
// With signing, the signature record is written after the marker; without
// it any record is removed, so that no agent stays vouched for by a
// signature that was not checked for it.
//
// Returns the directory whose "installagent" holds the agent to run:
// cacheDir or fallbackDir; empty on failure, the cache then keeping its
// previous agent and marker. No staging directory is left.
std::string installDownloadedAgent(const std::string& archive,
                                   const std::string& cacheDir,
                                   const std::string& validationString,
                                   const std::string& sourceUrl,
                                   const std::string& fallbackDir,
                                   ReportFn report,
                                   const AgentSigning* signing = nullptr);

#endif
