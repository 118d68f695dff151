#include "download_window/agent_verification.h"

#include <errno.h>
#include <sys/stat.h>

#include "common/text.h"
#include "platform/log.h"
#include "platform/state_file.h"

const char kKeyFileName[] = "installAgentKey.pub";

namespace {

// Set from the signature's trusted comment; false for an archive signed
// before the cached agent.
bool takeTimestamp(const ArchiveSignature& signature,
                   const SignatureRecord* cached, SignatureRecord* record,
                   std::string* why) {
  record->hasTimestamp =
      trustedTimestamp(signature.trustedComment, &record->timestamp);
  if (!record->hasTimestamp) {
    logLine("The agent's signature has no timestamp: it cannot be checked "
            "against an older agent's");
    return true;
  }
  if (cached && cached->hasTimestamp &&
      record->timestamp < cached->timestamp) {
    *why = "it was signed at " + std::to_string(record->timestamp) +
           ", before the cached agent (" + std::to_string(cached->timestamp) +
           "): an older agent is not taken back";
    return false;
  }
  return true;
}

}  // namespace

KeyFile loadBundleKeys(const std::string& resourceDir,
                       std::vector<PublicKey>* keys, std::string* why) {
  const std::string path = joinPath(resourceDir, kKeyFileName);
  std::string text;
  if (!readSmallFile(path, kMaxPublicKeyFileSize + 1, &text)) {
    // Absent only when no entry has the name: a dangling link, a directory
    // or a FIFO in its place must not turn the check off.
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 && errno == ENOENT)
      return KeyFile::kAbsent;
    *why = path + ": cannot be read";
    return KeyFile::kBroken;
  }
  std::string parseWhy;
  if (!parsePublicKeys(text, keys, &parseWhy)) {
    *why = path + ": " + parseWhy;
    return KeyFile::kBroken;
  }
  return KeyFile::kLoaded;
}

Verification verifyAgentArchive(const std::string& archivePath,
                                const ArchiveDigest* digest,
                                const std::string& signatureText,
                                const std::vector<PublicKey>& keys,
                                const SignatureRecord* cached,
                                SignatureRecord* record, std::string* why) {
  ArchiveSignature signature;
  std::string parseWhy;
  if (!parseSignature(signatureText, &signature, &parseWhy)) {
    *why = "its signature is malformed: " + parseWhy;
    return Verification::kRefused;
  }
  SignatureCheck check =
      digest && signature.algorithm == SignatureAlgorithm::kPrehashed
          ? checkArchiveSignature(*digest, signature, keys)
          : checkArchiveSignature(archivePath, signature, keys);
  if (!check.verified()) {
    *why = check.reason;
    return check.verdict == SignatureVerdict::kArchiveMismatch
               ? Verification::kMismatch
               : Verification::kRefused;
  }
  record->keyId = signature.keyId;
  return takeTimestamp(signature, cached, record, why)
             ? Verification::kVerified
             : Verification::kRefused;
}
