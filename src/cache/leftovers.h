#ifndef BOOTSTRAP_CACHE_LEFTOVERS_H_
#define BOOTSTRAP_CACHE_LEFTOVERS_H_

#include <string>

// Directories a run makes in the cache beside "installagent": a staging
// directory that a new agent is unpacked into, and the retired agent on
// its way out. Each is locked by its run while it exists, so that a later
// run can tell one whose run is gone (killed halfway) from one in use.
inline const char kStagingPrefix[] = ".installagent-new-";
inline const char kRetiredPrefix[] = ".installagent-old-";

// A lock on the directory at path for as long as the descriptor it
// returns stays open; -1 when it cannot be had.
int lockOwnedDirectory(const std::string& path);

// Removes the staging and retired directories in the cache directory
// (ending in "/") whose runs are gone; those of live runs stay.
void removeLeftovers(const std::string& cacheDir);

#endif
