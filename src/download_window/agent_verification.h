#ifndef BOOTSTRAP_DOWNLOAD_WINDOW_AGENT_VERIFICATION_H_
#define BOOTSTRAP_DOWNLOAD_WINDOW_AGENT_VERIFICATION_H_

#include <string>
#include <vector>

#include "signature/minisign_format.h"

// The bundle's key file: with it, every downloaded agent must be signed
// by one of its keys.
extern const char kKeyFileName[];

enum class KeyFile { kAbsent, kLoaded, kBroken };

// Reads kKeyFileName in resourceDir into *keys; kBroken with *why set (one
// line naming the file) when it is there but cannot be read or parsed.
KeyFile loadBundleKeys(const std::string& resourceDir,
                       std::vector<PublicKey>* keys, std::string* why);

#endif
