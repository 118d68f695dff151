#include "cache/signature_record.h"

#include <gtest/gtest.h>

namespace {

TEST(SignatureRecord, ReadsBackWhatItWrites) {
  SignatureRecord timed;
  timed.keyId = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
  timed.hasTimestamp = true;
  timed.timestamp = 1700000000;
  SignatureRecord untimed;
  untimed.keyId = {0xff, 0, 0, 0, 0, 0, 0, 0x10};
  EXPECT_EQ(formatSignatureRecord(timed),
            "keyid:0123456789abcdef\ttimestamp:1700000000");
  EXPECT_EQ(formatSignatureRecord(untimed), "keyid:ff00000000000010");
  for (const SignatureRecord& record : {timed, untimed}) {
    SignatureRecord back;
    ASSERT_TRUE(parseSignatureRecord(formatSignatureRecord(record), &back));
    EXPECT_EQ(back.keyId, record.keyId);
    EXPECT_EQ(back.hasTimestamp, record.hasTimestamp);
    EXPECT_EQ(back.timestamp, record.timestamp);
  }
}

TEST(SignatureRecord, RefusesAnythingElse) {
  const char* lines[] = {
      "",
      "keyid:",
      "keyid:0123456789abcde",            // a digit short
      "keyid:0123456789abcdef0",          // a digit over
      "keyid:0123456789ABCDEF",           // written in lower case only
      "keyid:0123456789abcdeg",
      "key:0123456789abcdef",
      "keyid:0123456789abcdef\t",
      "keyid:0123456789abcdef\ttimestamp:",
      "keyid:0123456789abcdef\ttimestamp:-5",
      "keyid:0123456789abcdef\ttimestamp:12x",
      "keyid:0123456789abcdef\ttime:12",
      "keyid:0123456789abcdef timestamp:12",
  };
  for (const char* line : lines) {
    SignatureRecord record;
    EXPECT_FALSE(parseSignatureRecord(line, &record)) << line;
  }
}

}  // namespace
