#ifndef BOOTSTRAP_PROVISIONING_CACHE_UPDATE_H_
#define BOOTSTRAP_PROVISIONING_CACHE_UPDATE_H_

#include <string>

#include "common/report_fn.h"

// Whether the cache directory (ending in "/") holds an agent that the
// marker vouches for as the one with this ETag. Decided under the cache's
// lock, so never halfway through another run's replacement.
bool isCachedAgentCurrent(const std::string& cacheDir,
                          const std::string& validationString);

// The ETag that the marker vouches for when the cache directory (ending in
// "/") holds an agent, else empty; also empty when it could not travel in
// a header (control bytes). Read under the cache's lock.
std::string cachedAgentValidator(const std::string& cacheDir);

// Puts a freshly downloaded agent archive into the cache directory (ending
// in "/"): unpacked into a staging directory beside "installagent", checked
// for "install", moved into place, and only then vouched for by the marker
// (the ETag; with none, no marker is left). The move and the stamp happen
// under the cache's lock; when another run has meanwhile put in the agent
// with the same ETag, that one stays (it may be running) and this one is
// dropped. On failure the cache keeps its previous agent and marker, and
// the staging directory is removed.
bool installDownloadedAgent(const std::string& archive,
                            const std::string& cacheDir,
                            const std::string& validationString,
                            ReportFn report);

#endif
