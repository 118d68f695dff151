#ifndef BOOTSTRAP_DOWNLOAD_WINDOW_AGENT_VERIFICATION_H_
#define BOOTSTRAP_DOWNLOAD_WINDOW_AGENT_VERIFICATION_H_

#include <string>
#include <vector>

#include "cache/signature_record.h"
#include "signature/minisign_format.h"
#include "signature/signature_check.h"

// The bundle's key file: with it, every downloaded agent must be signed
// by one of its keys.
extern const char kKeyFileName[];

enum class KeyFile { kAbsent, kLoaded, kBroken };

// Reads kKeyFileName in resourceDir into *keys; kBroken with *why set (one
// line naming the file) when it is there but cannot be read or parsed.
KeyFile loadBundleKeys(const std::string& resourceDir,
                       std::vector<PublicKey>* keys, std::string* why);

enum class Verification {
  kVerified,
  kMismatch,  // the archive is not the one signed: perhaps replaced meanwhile
  kRefused,
};

// Checks the downloaded archive at archivePath against signatureText, by
// keys, and against the cached agent's record, if any: an archive signed
// before it is refused (a replayed older agent). A prehashed signature is
// checked against digest when there is one (the archive hashed as it came),
// else against the file. kVerified with *record set to what vouches for the
// archive; else *why says why, in one line.
Verification verifyAgentArchive(const std::string& archivePath,
                                const ArchiveDigest* digest,
                                const std::string& signatureText,
                                const std::vector<PublicKey>& keys,
                                const SignatureRecord* cached,
                                SignatureRecord* record, std::string* why);

#endif
