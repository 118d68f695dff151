#ifndef BOOTSTRAP_FETCH_POLICY_SIGNATURE_VERDICT_H_
#define BOOTSTRAP_FETCH_POLICY_SIGNATURE_VERDICT_H_

#include <stdint.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cache/signature_record.h"
#include "signature/minisign_format.h"
#include "signature/signature_check.h"

// Whether a downloaded agent may be taken, for a bundle with keys: its
// signature is judged as soon as it is fetched, before the archive, and
// the archive once it is whole.

enum class Verification {
  kVerified,
  kMismatch,  // the archive is not the one signed: perhaps replaced meanwhile
  kRefused,
};

// The newest signature time taken from this URL with a key (by its id);
// none where no timed signature was taken.
using FloorLookup = std::function<std::optional<int64_t>(const KeyId&)>;

struct SignatureJudgement {
  Verification verdict = Verification::kRefused;
  // Refused: why, in one line. Verified: a note for the log, or empty.
  std::string why;
  ArchiveSignature signature;
  SignatureRecord record;  // what vouches for the archive, once verified
};

// Whether an archive signed at record's time may be taken where floor is
// the newest time taken from its URL with its key: not an older one, nor
// one without a time once a timed one was taken. *why says why not; for
// an untimed signature taken, it is the note for the log.
bool passesRollbackFloor(const SignatureRecord& record,
                         const std::optional<int64_t>& floor,
                         std::string* why);

// The signature file's text, before the archive: well formed, by one of
// keys, its trusted comment the one signed, and past the floor of its key.
SignatureJudgement judgeSignature(const std::string& signatureText,
                                  const std::vector<PublicKey>& keys,
                                  const FloorLookup& floorFor);

// The archive at archivePath against a signature judgeSignature passed. A
// prehashed signature is checked against digest when there is one (the
// archive hashed as it came), else against the file.
Verification judgeArchive(const std::string& archivePath,
                          const ArchiveDigest* digest,
                          const ArchiveSignature& signature,
                          const std::vector<PublicKey>& keys,
                          std::string* why);

// A signature's time for a person to read: "2023-11-14 22:13:20 UTC".
std::string utcDate(int64_t seconds);

#endif
