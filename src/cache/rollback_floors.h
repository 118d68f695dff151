#ifndef BOOTSTRAP_CACHE_ROLLBACK_FLOORS_H_
#define BOOTSTRAP_CACHE_ROLLBACK_FLOORS_H_

#include <stddef.h>
#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "signature/minisign_format.h"

// For each agent URL and signing key, the newest signature time taken
// from it: an archive signed before is an older agent replayed. Kept in
// kRollbackFloorsFileName beside the marker, apart from the cached agent,
// so that a bundle of another URL replacing the cache neither lowers this
// URL's floor nor is judged against it.
struct RollbackFloor {
  KeyId keyId = {};
  int64_t timestamp = 0;
  std::string url;
};

// At most this many, the most recently raised first: a user who ran
// bundles of ever more URLs keeps the floors of the latest ones.
constexpr size_t kMaxRollbackFloors = 32;

// One floor a line, "<key id in hex>\t<seconds>\t<url>"; lines that do not
// parse (a torn write) are left out.
std::string formatRollbackFloors(const std::vector<RollbackFloor>& floors);
std::vector<RollbackFloor> parseRollbackFloors(const std::string& text);

// floors with url's floor for keyId raised to timestamp (never lowered),
// moved to the front, and the list cut to kMaxRollbackFloors.
std::vector<RollbackFloor> withFloorRaised(std::vector<RollbackFloor> floors,
                                           const RollbackFloor& raised);

// The floor for url and keyId in the cache directory (ending in "/"), if
// any. Where none was recorded yet, the cached agent's signature record
// stands in for it when that agent came from url.
std::optional<int64_t> readRollbackFloor(const std::string& cacheDir,
                                         const std::string& url,
                                         const KeyId& keyId);

// Raises the floor under the cache's lock; the file is replaced whole, so
// a run killed meanwhile leaves the old floors or the new ones.
void raiseRollbackFloor(const std::string& cacheDir,
                        const RollbackFloor& raised);

#endif
