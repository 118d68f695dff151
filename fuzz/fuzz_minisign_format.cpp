// The minisign file parsers: the input is read as a key file and as a
// signature file. Whatever is taken must write back, in the same format,
// to a file that reads the same; whatever is refused gets a one-line
// reason.
#include <sodium/utils.h>
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "property_failure.h"
#include "signature/minisign_format.h"

namespace {

template <size_t N>
std::string bytesOf(const char (&algorithm)[3], const KeyId& id,
                    const std::array<uint8_t, N>& rest) {
  std::string bytes(algorithm, 2);
  bytes.append(id.begin(), id.end());
  bytes.append(rest.begin(), rest.end());
  return bytes;
}

std::string base64(const std::string& bytes) {
  std::vector<char> text(sodium_base64_ENCODED_LEN(
      bytes.size(), sodium_base64_VARIANT_ORIGINAL));
  sodium_bin2base64(text.data(), text.size(),
                    reinterpret_cast<const unsigned char*>(bytes.data()),
                    bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  return text.data();
}

void checkRefusal(bool taken, const std::string& why, const std::string& input,
                  size_t limit) {
  if (taken) return;
  if (why.empty() || why.find('\n') != std::string::npos)
    fail("a refusal without a one-line reason", input);
  if (input.size() > limit && why.find("larger than") == std::string::npos)
    fail("an oversize file refused for another reason", input);
}

// Written back with CRLF ends, which drop exactly the one CR a line may
// have had, and read again.
void checkKeys(const std::string& input) {
  std::vector<PublicKey> keys;
  std::string why;
  bool taken = parsePublicKeys(input, &keys, &why);
  checkRefusal(taken, why, input, kMaxPublicKeyFileSize);
  if (!taken) return;
  if (input.size() > kMaxPublicKeyFileSize || keys.empty())
    fail("an oversize or empty key file taken", input);
  std::string written;
  for (const PublicKey& key : keys)
    written += "untrusted comment: k\r\n" +
               base64(bytesOf("Ed", key.id, key.key)) + "\r\n";
  std::vector<PublicKey> again;
  if (!parsePublicKeys(written, &again, &why) || again.size() != keys.size())
    fail("the keys written back do not read", input);
  for (size_t i = 0; i < keys.size(); ++i)
    if (again[i].id != keys[i].id || again[i].key != keys[i].key)
      fail("the keys written back read otherwise", input);
}

void checkSignature(const std::string& input) {
  ArchiveSignature signature;
  std::string why;
  bool taken = parseSignature(input, &signature, &why);
  checkRefusal(taken, why, input, kMaxSignatureFileSize);
  if (!taken) return;
  if (input.size() > kMaxSignatureFileSize ||
      signature.trustedComment.find('\n') != std::string::npos)
    fail("an oversize signature file or a comment of two lines taken", input);
  bool prehashed = signature.algorithm == SignatureAlgorithm::kPrehashed;
  std::string written =
      "untrusted comment: s\r\n" +
      base64(bytesOf(prehashed ? "ED" : "Ed", signature.keyId,
                     signature.signature)) +
      "\r\ntrusted comment: " + signature.trustedComment + "\r\n" +
      base64(std::string(signature.globalSignature.begin(),
                         signature.globalSignature.end()));
  ArchiveSignature again;
  if (!parseSignature(written, &again, &why) ||
      again.algorithm != signature.algorithm ||
      again.keyId != signature.keyId ||
      again.signature != signature.signature ||
      again.trustedComment != signature.trustedComment ||
      again.globalSignature != signature.globalSignature)
    fail("the signature written back reads otherwise", input);
}

// A timestamp found is the number its field spells.
void checkTimestamp(const std::string& input) {
  int64_t seconds = -1;
  if (!trustedTimestamp(input, &seconds)) return;
  int64_t again = -1;
  if (seconds < 0 ||
      !trustedTimestamp("timestamp:" + std::to_string(seconds), &again) ||
      again != seconds)
    fail("a timestamp misread", input);
  if (input.find("timestamp:") == std::string::npos)
    fail("a timestamp from no field", input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  checkKeys(input);
  checkSignature(input);
  checkTimestamp(input);
  return 0;
}
