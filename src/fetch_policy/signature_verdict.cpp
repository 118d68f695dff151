#include "fetch_policy/signature_verdict.h"

#include <time.h>

namespace {

Verification refused(SignatureJudgement* judged, const std::string& why) {
  judged->why = why;
  return judged->verdict = Verification::kRefused;
}

}  // namespace

std::string utcDate(int64_t seconds) {
  const time_t time = static_cast<time_t>(seconds);
  struct tm utc;
  char text[64];
  if (!gmtime_r(&time, &utc) ||
      strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc) == 0)
    return std::to_string(seconds) + " s after 1970";
  return text;
}

bool passesRollbackFloor(const SignatureRecord& record,
                         const std::optional<int64_t>& floor,
                         std::string* why) {
  if (!record.hasTimestamp && !floor) {
    *why = "The agent's signature has no timestamp: it cannot be checked "
           "against an older agent's";
    return true;
  }
  if (!record.hasTimestamp) {
    *why = "its signature has no timestamp, and an agent signed at " +
           utcDate(*floor) +
           " was taken from this URL with this key: an untimed one could "
           "be older";
    return false;
  }
  if (floor && record.timestamp < *floor) {
    *why = "it was signed at " + utcDate(record.timestamp) +
           ", before an agent already taken from this URL with this key "
           "(signed at " + utcDate(*floor) +
           "): an older agent is not taken back";
    return false;
  }
  why->clear();
  return true;
}

SignatureJudgement judgeSignature(const std::string& signatureText,
                                  const std::vector<PublicKey>& keys,
                                  const FloorLookup& floorFor) {
  SignatureJudgement judged;
  std::string parseWhy;
  if (!parseSignature(signatureText, &judged.signature, &parseWhy)) {
    refused(&judged, "its signature is malformed: " + parseWhy);
    return judged;
  }
  SignatureCheck check = checkSignatureComment(judged.signature, keys);
  if (!check.verified()) {
    refused(&judged, check.reason);
    return judged;
  }
  judged.record.keyId = judged.signature.keyId;
  judged.record.hasTimestamp = trustedTimestamp(
      judged.signature.trustedComment, &judged.record.timestamp);
  if (passesRollbackFloor(judged.record, floorFor(judged.record.keyId),
                          &judged.why))
    judged.verdict = Verification::kVerified;
  return judged;
}

Verification judgeArchive(const std::string& archivePath,
                          const ArchiveDigest* digest,
                          const ArchiveSignature& signature,
                          const std::vector<PublicKey>& keys,
                          std::string* why) {
  SignatureCheck check =
      digest && signature.algorithm == SignatureAlgorithm::kPrehashed
          ? checkArchiveSignature(*digest, signature, keys)
          : checkArchiveSignature(archivePath, signature, keys);
  if (check.verified()) return Verification::kVerified;
  *why = check.reason;
  return check.verdict == SignatureVerdict::kArchiveMismatch
             ? Verification::kMismatch
             : Verification::kRefused;
}
