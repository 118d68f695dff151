#include "signature/minisign_format.h"

#include <sodium/core.h>
#include <sodium/utils.h>
#include <stdlib.h>
#include <string.h>

#include "common/text.h"

// libsodium's own sodium_misuse sits beside sodium_init, which draws in
// every cipher's CPU-specific code (about 90 KiB of the executable) though
// nothing here calls it. Defined in this file, the one that draws in the
// base64 decoder that calls it, so that the static link takes this one.
// It does what libsodium's does when no handler is set: a misuse handler
// is never set here. Should anything call sodium_init, the link fails on
// the duplicate.
extern "C" void sodium_misuse(void) { abort(); }

namespace {

const std::string kUntrustedCommentStart = "untrusted comment:";
const std::string kTrustedCommentStart = "trusted comment: ";
const std::string kTimestampStart = "timestamp:";

// The key line: "Ed", the key id, the key.
constexpr size_t kKeyLineBytes = 2 + sizeof(KeyId) + sizeof(Ed25519PublicKey);
// The signature line: the algorithm, the key id, the signature.
constexpr size_t kSignatureLineBytes =
    2 + sizeof(KeyId) + sizeof(Ed25519Signature);

bool failed(std::string* why, const std::string& reason) {
  *why = reason;
  return false;
}

bool startsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

std::string lineNumber(size_t index) {
  return "line " + std::to_string(index + 1) + ": ";
}

// Each line without its LF or CRLF; a final line end starts no line.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    if (!lines.back().empty() && lines.back().back() == '\r')
      lines.back().pop_back();
    at = end + 1;
  }
  return lines;
}

// Standard base64 with its padding, decoding to exactly size bytes; any
// other byte, a missing pad or stray low bits fail.
bool decodeBase64(const std::string& text, uint8_t* out, size_t size) {
  size_t decoded = 0;
  return sodium_base642bin(out, size, text.data(), text.size(), nullptr,
                           &decoded, nullptr,
                           sodium_base64_VARIANT_ORIGINAL) == 0 &&
         decoded == size;
}

bool parseKeyLine(const std::string& line, PublicKey* key, std::string* why) {
  uint8_t bytes[kKeyLineBytes];
  if (!decodeBase64(line, bytes, sizeof bytes))
    return failed(why, "not the base64 of a " +
                           std::to_string(sizeof bytes) + "-byte key");
  if (bytes[0] != 'E' || bytes[1] != 'd')
    return failed(why, "not an Ed25519 key");
  memcpy(key->id.data(), bytes + 2, key->id.size());
  memcpy(key->key.data(), bytes + 2 + key->id.size(), key->key.size());
  return true;
}

bool parseSignatureLine(const std::string& line, ArchiveSignature* signature,
                        std::string* why) {
  uint8_t bytes[kSignatureLineBytes];
  if (!decodeBase64(line, bytes, sizeof bytes))
    return failed(why, "not the base64 of a " +
                           std::to_string(sizeof bytes) + "-byte signature");
  if (bytes[0] == 'E' && bytes[1] == 'D')
    signature->algorithm = SignatureAlgorithm::kPrehashed;
  else if (bytes[0] == 'E' && bytes[1] == 'd')
    signature->algorithm = SignatureAlgorithm::kLegacy;
  else
    return failed(why, "unknown signature algorithm");
  memcpy(signature->keyId.data(), bytes + 2, signature->keyId.size());
  memcpy(signature->signature.data(), bytes + 2 + signature->keyId.size(),
         signature->signature.size());
  return true;
}

}  // namespace

bool parsePublicKeys(const std::string& text, std::vector<PublicKey>* keys,
                     std::string* why) {
  if (text.size() > kMaxPublicKeyFileSize)
    return failed(why, "key file larger than " +
                           std::to_string(kMaxPublicKeyFileSize) + " bytes");
  std::vector<std::string> lines = splitLines(text);
  std::vector<PublicKey> found;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    if (!startsWith(lines[i], kUntrustedCommentStart))
      return failed(why, lineNumber(i) + "not an untrusted comment");
    if (++i == lines.size())
      return failed(why, lineNumber(i) + "no key after the comment");
    PublicKey key;
    if (!parseKeyLine(lines[i], &key, why))
      return failed(why, lineNumber(i) + *why);
    found.push_back(key);
  }
  if (found.empty()) return failed(why, "no key in the key file");
  *keys = found;
  return true;
}

bool parseSignature(const std::string& text, ArchiveSignature* signature,
                    std::string* why) {
  if (text.size() > kMaxSignatureFileSize)
    return failed(why, "signature file larger than " +
                           std::to_string(kMaxSignatureFileSize) + " bytes");
  std::vector<std::string> lines = splitLines(text);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() != 4)
    return failed(why, "signature file of " + std::to_string(lines.size()) +
                           " lines, not 4");
  if (!startsWith(lines[0], kUntrustedCommentStart))
    return failed(why, lineNumber(0) + "not an untrusted comment");
  ArchiveSignature parsed;
  if (!parseSignatureLine(lines[1], &parsed, why))
    return failed(why, lineNumber(1) + *why);
  if (!startsWith(lines[2], kTrustedCommentStart))
    return failed(why, lineNumber(2) + "not a trusted comment");
  parsed.trustedComment = lines[2].substr(kTrustedCommentStart.size());
  if (!decodeBase64(lines[3], parsed.globalSignature.data(),
                    parsed.globalSignature.size()))
    return failed(why, lineNumber(3) +
                           "not the base64 of a 64-byte global signature");
  *signature = parsed;
  return true;
}

bool trustedTimestamp(const std::string& trustedComment, int64_t* seconds) {
  for (size_t start = 0;;) {
    size_t end = trustedComment.find('\t', start);
    if (end == std::string::npos) end = trustedComment.size();
    if (trustedComment.compare(start, kTimestampStart.size(),
                               kTimestampStart) == 0) {
      size_t digits = start + kTimestampStart.size();
      return parseDecimal(trustedComment.substr(digits, end - digits),
                          INT64_MAX, seconds);
    }
    if (end == trustedComment.size()) return false;
    start = end + 1;
  }
}
