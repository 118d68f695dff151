#ifndef BOOTSTRAP_CACHE_TRUST_H_
#define BOOTSTRAP_CACHE_TRUST_H_

#include <string>

// Whether the per-user cache (cacheDir as getInstallAgentCacheDir() gives
// it) is the user's alone: every directory from ".tarvik" down to
// "installagent", and the state files beside the agent (the marker, the
// URL, the signature record, the rollback floors), must be owned by the
// current user, writable by nobody else, and no symbolic link. Someone
// else who could write there could plant an agent and a matching marker.
// Missing entries are fine: they are made by this user. A state file of
// the user's whose only fault is that others could write it, inside
// directories that passed, and which has no other link, is repaired (their
// write taken away, logged). False with *why set otherwise.
bool isCacheTrusted(const std::string& cacheDir, std::string* why);

// Whether the agent may go into the cache: trusted as above, and its
// directory there and writable (a path blocked by a file, a read-only
// home or file system are not). False with *why set otherwise.
bool isCacheUsable(const std::string& cacheDir, std::string* why);

// Where the agent goes: cacheDir when usable, else fallbackDir (with "/"
// added), the reason logged.
std::string agentHomeOf(const std::string& cacheDir,
                        const std::string& fallbackDir);

#endif
