#include "signature/signature_check.h"

#include <errno.h>
#include <fcntl.h>
#include <sodium/crypto_sign_ed25519.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// sodium_init is not called: none of the functions used here draws random
// bytes, and without it BLAKE2b keeps its portable code, which hashed
// faster than the AVX2 code sodium_init picks (see bench/README.md).

namespace {

// Reads this large keep the system calls few over an archive of GiB.
constexpr size_t kReadSize = 1 << 20;

// As minisign prints it: a little-endian number in hex.
std::string keyIdText(const KeyId& id) {
  char text[2 * sizeof(KeyId) + 1];
  for (size_t i = 0; i < id.size(); ++i)
    snprintf(text + 2 * i, 3, "%02X", id[id.size() - 1 - i]);
  return text;
}

bool holds(const Ed25519Signature& signature, const uint8_t* message,
           size_t size, const PublicKey& key) {
  return crypto_sign_ed25519_verify_detached(signature.data(), message, size,
                                             key.key.data()) == 0;
}

// The keys of signature's key id for which the global signature over the
// signature and its trusted comment holds: ids are not unique, so every
// key with the id is tried.
SignatureCheck findSigners(const ArchiveSignature& signature,
                           const std::vector<PublicKey>& keys,
                           std::vector<const PublicKey*>* signers) {
  std::string covered(signature.signature.begin(), signature.signature.end());
  covered += signature.trustedComment;
  bool known = false;
  for (const PublicKey& key : keys) {
    if (key.id != signature.keyId) continue;
    known = true;
    if (holds(signature.globalSignature,
              reinterpret_cast<const uint8_t*>(covered.data()),
              covered.size(), key))
      signers->push_back(&key);
  }
  if (!known)
    return {SignatureVerdict::kUnknownKey,
            "signed with key " + keyIdText(signature.keyId) +
                ", which is not a trusted key"};
  if (signers->empty())
    return {SignatureVerdict::kCommentMismatch,
            "the global signature does not match the trusted comment"};
  return {SignatureVerdict::kVerified, ""};
}

bool holdsForAny(const Ed25519Signature& signature, const uint8_t* message,
                 size_t size, const std::vector<const PublicKey*>& signers) {
  for (const PublicKey* key : signers)
    if (holds(signature, message, size, *key)) return true;
  return false;
}

SignatureCheck archiveVerdict(bool signatureHolds) {
  if (signatureHolds) return {SignatureVerdict::kVerified, ""};
  return {SignatureVerdict::kArchiveMismatch,
          "the signature does not match the archive"};
}

// A regular file only: a FIFO planted in the archive's place would hang
// the read. -1 with *why set otherwise.
int openArchive(const std::string& path, off_t* size, std::string* why) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *why = path + ": " + strerror(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    *why = path + ": not a regular file";
    close(fd);
    return -1;
  }
  *size = st.st_size;
  return fd;
}

bool hashFile(const std::string& path, ArchiveDigest* digest,
              std::string* why) {
  off_t size = 0;
  int fd = openArchive(path, &size, why);
  if (fd < 0) return false;
  ArchiveHasher hasher;
  std::vector<uint8_t> buffer(kReadSize);
  ssize_t n;
  while ((n = read(fd, buffer.data(), buffer.size())) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *why = path + ": " + strerror(errno);
      close(fd);
      return false;
    }
    hasher.update(buffer.data(), static_cast<size_t>(n));
  }
  close(fd);
  *digest = hasher.finish();
  return true;
}

// Verifies a legacy signature over a map of the file: the kernel pages it
// in as it is read and drops it again, so a large archive is never all in
// memory. A file cut short under the map would raise SIGBUS; downloaded
// archives lie in the user's private cache, where nobody else can. False
// with *why set when it cannot be mapped.
bool holdsOverMap(const std::string& path, const Ed25519Signature& signature,
                  const std::vector<const PublicKey*>& signers,
                  bool* signatureHolds, std::string* why) {
  off_t size = 0;
  int fd = openArchive(path, &size, why);
  if (fd < 0) return false;
  if (size == 0) {
    close(fd);
    *signatureHolds = holdsForAny(signature, nullptr, 0, signers);
    return true;
  }
  void* map = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE,
                   fd, 0);
  int mapError = errno;
  close(fd);
  if (map == MAP_FAILED) {
    *why = path + ": " + strerror(mapError);
    return false;
  }
  madvise(map, static_cast<size_t>(size), MADV_SEQUENTIAL);
  *signatureHolds = holdsForAny(signature, static_cast<const uint8_t*>(map),
                                static_cast<size_t>(size), signers);
  munmap(map, static_cast<size_t>(size));
  return true;
}

}  // namespace

ArchiveHasher::ArchiveHasher() {
  crypto_generichash_blake2b_init(&state_, nullptr, 0, sizeof(ArchiveDigest));
}

void ArchiveHasher::update(const void* data, size_t size) {
  crypto_generichash_blake2b_update(&state_, static_cast<const uint8_t*>(data), size);
}

ArchiveDigest ArchiveHasher::finish() {
  ArchiveDigest digest;
  crypto_generichash_blake2b_final(&state_, digest.data(), digest.size());
  return digest;
}

SignatureCheck checkSignatureComment(const ArchiveSignature& signature,
                                     const std::vector<PublicKey>& keys) {
  std::vector<const PublicKey*> signers;
  return findSigners(signature, keys, &signers);
}

SignatureCheck checkArchiveSignature(const std::string& archivePath,
                                     const ArchiveSignature& signature,
                                     const std::vector<PublicKey>& keys) {
  std::vector<const PublicKey*> signers;
  SignatureCheck check = findSigners(signature, keys, &signers);
  if (!check.verified()) return check;
  std::string why;
  if (signature.algorithm == SignatureAlgorithm::kLegacy) {
    bool signatureHolds = false;
    if (!holdsOverMap(archivePath, signature.signature, signers,
                      &signatureHolds, &why))
      return {SignatureVerdict::kCannotCheck, why};
    return archiveVerdict(signatureHolds);
  }
  ArchiveDigest digest;
  if (!hashFile(archivePath, &digest, &why))
    return {SignatureVerdict::kCannotCheck, why};
  return archiveVerdict(
      holdsForAny(signature.signature, digest.data(), digest.size(), signers));
}

SignatureCheck checkArchiveSignature(const ArchiveDigest& digest,
                                     const ArchiveSignature& signature,
                                     const std::vector<PublicKey>& keys) {
  if (signature.algorithm != SignatureAlgorithm::kPrehashed)
    return {SignatureVerdict::kCannotCheck,
            "a legacy signature is over the archive, not its digest"};
  std::vector<const PublicKey*> signers;
  SignatureCheck check = findSigners(signature, keys, &signers);
  if (!check.verified()) return check;
  return archiveVerdict(
      holdsForAny(signature.signature, digest.data(), digest.size(), signers));
}
