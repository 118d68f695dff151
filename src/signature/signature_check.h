#ifndef BOOTSTRAP_SIGNATURE_SIGNATURE_CHECK_H_
#define BOOTSTRAP_SIGNATURE_SIGNATURE_CHECK_H_

#include <sodium/crypto_generichash_blake2b.h>
#include <stddef.h>
#include <stdint.h>

#include <array>
#include <string>
#include <vector>

#include "signature/minisign_format.h"

// The BLAKE2b-512 digest a prehashed signature is over.
using ArchiveDigest = std::array<uint8_t, 64>;

// Hashes an archive fed to it in pieces, as it is written or read, so that
// an archive of several GiB is never held in memory.
class ArchiveHasher {
 public:
  ArchiveHasher();
  ArchiveHasher(const ArchiveHasher&) = delete;
  ArchiveHasher& operator=(const ArchiveHasher&) = delete;

  void update(const void* data, size_t size);
  // The digest of everything fed so far; feed nothing after it.
  ArchiveDigest finish();

 private:
  crypto_generichash_blake2b_state state_;
};

enum class SignatureVerdict {
  kVerified,
  kUnknownKey,            // made by none of the keys
  kCommentMismatch,       // the global signature fails: comment edited
  kArchiveMismatch,       // the archive is not the one signed
  kCannotCheck,           // the archive could not be read
};

struct SignatureCheck {
  SignatureVerdict verdict = SignatureVerdict::kCannotCheck;
  std::string reason;  // one line; empty when verified

  bool verified() const { return verdict == SignatureVerdict::kVerified; }
};

// Whether signature and its trusted comment hold for one of keys, before
// the archive is there: kVerified, kUnknownKey when no key has the
// signature's key id, else kCommentMismatch. Every key with the id is tried.
SignatureCheck checkSignatureComment(const ArchiveSignature& signature,
                                     const std::vector<PublicKey>& keys);

// Whether signature, by one of keys (any with its key id), holds for the
// archive at archivePath and for its trusted comment. A prehashed
// signature reads the archive once in large pieces; a legacy one maps it
// rather than reading it into memory. The comment is checked first, so a
// forged one costs no pass over the archive.
SignatureCheck checkArchiveSignature(const std::string& archivePath,
                                     const ArchiveSignature& signature,
                                     const std::vector<PublicKey>& keys);

// The same for a prehashed signature, given the archive's digest (hashed
// as it was downloaded). A legacy signature cannot be checked so.
SignatureCheck checkArchiveSignature(const ArchiveDigest& digest,
                                     const ArchiveSignature& signature,
                                     const std::vector<PublicKey>& keys);

#endif
