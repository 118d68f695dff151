#include "signature/minisign_format.h"

#include <sodium/utils.h>

#include <gtest/gtest.h>

namespace {

// As minisign 0.11 wrote them: a key, and a prehashed signature by it.
const std::string kKeyFile =
    "untrusted comment: minisign public key 30DE1C0DFE13195D\n"
    "RWRdGRP+DRzeMEOCkBwMPcujrPqtzOrpoxK45tq3KQMqeMLtJteQIs2z\n";
const std::string kOtherKeyFile =
    "untrusted comment: minisign public key 6356B759E0ED1DBB\n"
    "RWS7He3gWbdWY91V7bXhEjGzdRXCqAbgTs2YqHbsF91nNbux9a8/6agW\n";
const KeyId kKeyId = {0x5d, 0x19, 0x13, 0xfe, 0x0d, 0x1c, 0xde, 0x30};
const KeyId kOtherKeyId = {0xbb, 0x1d, 0xed, 0xe0, 0x59, 0xb7, 0x56, 0x63};
const std::string kSignatureLines[] = {
    "untrusted comment: signature from minisign secret key",
    "RURdGRP+DRzeMAorbZLcgvkxju2NXdx+1A8HLczmD98KH6w0/ix25PV/FKfvHKF7QZou53f01"
    "Cf4KOe24z5TlQA0RYpbFgNSDQA=",
    "trusted comment: timestamp:1796656591\tfile:f\thashed",
    "c2nDZSEA//XX5hGM7xsn3v7NI08davePI7S0Ufj5IX/XDoUJfMqBiDvXmJDaKoOQFjSgLM8J"
    "Fe9+oIyeEnsUBg=="};

std::string base64(const std::string& bytes) {
  std::string text(sodium_base64_ENCODED_LEN(bytes.size(),
                                             sodium_base64_VARIANT_ORIGINAL),
                   '\0');
  sodium_bin2base64(&text[0], text.size(),
                    reinterpret_cast<const unsigned char*>(bytes.data()),
                    bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  text.pop_back();  // the NUL
  return text;
}

// The signature file with line `index` replaced, and lines ending in `end`.
std::string signatureFile(int index = -1, const std::string& line = "",
                          const std::string& end = "\n") {
  std::string text;
  for (int i = 0; i < 4; ++i)
    text += (i == index ? line : kSignatureLines[i]) + end;
  return text;
}

std::string withoutLastEnd(const std::string& text, size_t endSize) {
  return text.substr(0, text.size() - endSize);
}

TEST(ParsePublicKeys, ReadsEveryKeyWhateverTheLineEnds) {
  const struct { std::string text; std::vector<KeyId> ids; } cases[] = {
      {kKeyFile, {kKeyId}},
      {withoutLastEnd(kKeyFile, 1), {kKeyId}},
      {"untrusted comment: a\r\n" + kKeyFile.substr(56, 56) + "\r\n", {kKeyId}},
      {kKeyFile + kOtherKeyFile, {kKeyId, kOtherKeyId}},
      {kKeyFile + "\n\r\n" + kOtherKeyFile + "\n", {kKeyId, kOtherKeyId}},
      {kKeyFile + std::string(kMaxPublicKeyFileSize - kKeyFile.size(), '\n'),
       {kKeyId}}};
  for (const auto& c : cases) {
    std::vector<PublicKey> keys;
    std::string why;
    ASSERT_TRUE(parsePublicKeys(c.text, &keys, &why)) << c.text << why;
    ASSERT_EQ(keys.size(), c.ids.size()) << c.text;
    for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(keys[i].id, c.ids[i]);
    EXPECT_EQ(keys[0].key[0], 0x43);
    EXPECT_EQ(keys[0].key[31], 0xb3);
  }
}

TEST(ParsePublicKeys, RefusesMalformedFiles) {
  const std::string comment = "untrusted comment: k\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "no key in the key file"},
      {comment, "line 2: no key after the comment"},
      {kKeyFile.substr(56), "line 1: not an untrusted comment"},
      {std::string("\0\xff\x7f garbage", 12), "line 1: not an untrusted"},
      {comment + "RWRdGRP!DRze" + kKeyFile.substr(68), "line 2: not the"},
      {comment + kKeyFile.substr(56, 55) + " \n", "line 2: not the base64"},
      {comment + kKeyFile.substr(56, 52), "line 2: not the base64 of a 42"},
      {comment + base64("ED" + std::string(40, 'k')), "line 2: not an Ed25519"},
      {kKeyFile + comment + "AAAA\n", "line 4: not the base64"},
      {kKeyFile + std::string(kMaxPublicKeyFileSize, '\n'),
       "key file larger than 65536 bytes"}};
  for (const auto& c : cases) {
    std::vector<PublicKey> keys;
    std::string why;
    EXPECT_FALSE(parsePublicKeys(c.first, &keys, &why)) << c.first;
    EXPECT_EQ(why.rfind(c.second, 0), 0u) << why;
  }
}

TEST(ParseSignature, ReadsBothFormsWhateverTheLineEnds) {
  const std::string legacy =
      base64("Ed" + std::string(kKeyId.begin(), kKeyId.end()) +
             std::string(64, 's'));
  const struct { std::string text; SignatureAlgorithm algorithm; } cases[] = {
      {signatureFile(), SignatureAlgorithm::kPrehashed},
      {signatureFile(-1, "", "\r\n"), SignatureAlgorithm::kPrehashed},
      {signatureFile() + "\n\n", SignatureAlgorithm::kPrehashed},
      {signatureFile(1, legacy), SignatureAlgorithm::kLegacy},
      {withoutLastEnd(signatureFile(1, legacy, "\r\n"), 2),
       SignatureAlgorithm::kLegacy}};
  for (const auto& c : cases) {
    ArchiveSignature signature;
    std::string why;
    ASSERT_TRUE(parseSignature(c.text, &signature, &why)) << c.text << why;
    EXPECT_EQ(signature.algorithm, c.algorithm);
    EXPECT_EQ(signature.trustedComment, "timestamp:1796656591\tfile:f\thashed");
    EXPECT_EQ(signature.keyId, kKeyId);
    EXPECT_EQ(signature.globalSignature[63], 0x06);  // "...Bg=="
  }
}

TEST(ParseSignature, RefusesMalformedFiles) {
  const std::string sig72(72, 's');
  const std::pair<std::string, std::string> cases[] = {
      {"", "signature file of 0 lines, not 4"},
      {signatureFile().substr(0, signatureFile().find(kSignatureLines[3])),
       "signature file of 3 lines, not 4"},
      {signatureFile() + "more\n", "signature file of 5 lines, not 4"},
      {"\x01\x02garbage\n\n\n\n", "signature file of 1 lines, not 4"},
      {signatureFile(0, "comment: x"), "line 1: not an untrusted comment"},
      {signatureFile(1, kSignatureLines[1].substr(0, 99)), "line 2: not the"},
      {signatureFile(1, kSignatureLines[1].substr(0, 96)), "line 2: not the"},
      {signatureFile(1, base64("EX" + sig72)), "line 2: unknown signature"},
      {signatureFile(2, "trusted comment:x"), "line 3: not a trusted comment"},
      {signatureFile(3, kSignatureLines[3].substr(0, 86)), "line 4: not the"},
      {signatureFile(0, "untrusted comment: " + std::string(4000, 'x')),
       "signature file larger than 4096 bytes"}};
  for (const auto& c : cases) {
    ArchiveSignature signature;
    std::string why;
    EXPECT_FALSE(parseSignature(c.first, &signature, &why)) << c.first;
    EXPECT_EQ(why.rfind(c.second, 0), 0u) << why;
  }
}

TEST(TrustedTimestamp, OnlyAWholeDecimalField) {
  const struct { const char* comment; bool found; int64_t seconds; } cases[] = {
      {"timestamp:1700000000\tfile:NAME\thashed", true, 1700000000},
      {"file:a\ttimestamp:42", true, 42},
      {"timestamp:9223372036854775807", true, INT64_MAX},
      {"", false, 0},
      {"file:a\thashed", false, 0},
      {"timestamp:", false, 0},
      {"timestamp:12x\tfile:a", false, 0},
      {"timestamp: 12", false, 0},
      {"timestamp:9223372036854775808", false, 0},
      {"file:timestamp:12", false, 0},
      {"timestamp:12 file:a", false, 0}};
  for (const auto& c : cases) {
    int64_t seconds = -1;
    EXPECT_EQ(trustedTimestamp(c.comment, &seconds), c.found) << c.comment;
    if (c.found) {
      EXPECT_EQ(seconds, c.seconds) << c.comment;
    }
  }
}

}  // namespace
