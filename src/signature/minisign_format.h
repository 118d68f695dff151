#ifndef BOOTSTRAP_SIGNATURE_MINISIGN_FORMAT_H_
#define BOOTSTRAP_SIGNATURE_MINISIGN_FORMAT_H_

#include <stddef.h>
#include <stdint.h>

#include <array>
#include <string>
#include <vector>

// The text of minisign's public key and signature files, read without I/O.
// Lines end in LF or CRLF; the last one may have no end.

// Larger files are refused unread: a key file holds a few keys, a
// signature file four short lines.
constexpr size_t kMaxPublicKeyFileSize = 64 * 1024;
constexpr size_t kMaxSignatureFileSize = 4 * 1024;

using KeyId = std::array<uint8_t, 8>;
using Ed25519PublicKey = std::array<uint8_t, 32>;
using Ed25519Signature = std::array<uint8_t, 64>;

struct PublicKey {
  KeyId id;
  Ed25519PublicKey key;
};

enum class SignatureAlgorithm {
  kPrehashed,  // "ED": over the BLAKE2b-512 digest of the file
  kLegacy,     // "Ed": over the file itself
};

struct ArchiveSignature {
  SignatureAlgorithm algorithm = SignatureAlgorithm::kPrehashed;
  KeyId keyId = {};
  Ed25519Signature signature = {};
  // The text after "trusted comment: ", line end excluded.
  std::string trustedComment;
  // Over signature followed by trustedComment.
  Ed25519Signature globalSignature = {};
};

// One or more keys, each an "untrusted comment:" line and then the base64
// of "Ed", the key id and the key; blank lines may stand between keys
// (files joined one after another). False with *why set, in one line, when
// anything is malformed or there is no key.
bool parsePublicKeys(const std::string& text, std::vector<PublicKey>* keys,
                     std::string* why);

// Exactly four lines: "untrusted comment:", the base64 of the algorithm,
// key id and signature, "trusted comment: " and its text, and the base64
// of the global signature; blank lines may follow. False with *why set, in
// one line, otherwise.
bool parseSignature(const std::string& text, ArchiveSignature* signature,
                    std::string* why);

// The seconds of a "timestamp:<digits>" field of a trusted comment, fields
// being separated by tabs as minisign writes them
// ("timestamp:1700000000\tfile:NAME\thashed"). False when there is none or
// its value is not a plain decimal number.
bool trustedTimestamp(const std::string& trustedComment, int64_t* seconds);

#endif
