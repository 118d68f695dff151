#include "signature/signature_check.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/scratch_tree.h"

namespace {

// Keys and signatures made by the real minisign, in the scratch tree,
// which is HOME for it too.
class SignatureCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (runProcess({"minisign", "-v"}, env(), tree.path(), 10).exitCode != 0)
      GTEST_SKIP() << "minisign is not installed; its signatures go unchecked";
  }

  std::vector<std::string> env() const { return {"HOME=" + tree.path()}; }

  void minisign(std::vector<std::string> args) {
    args.insert(args.begin(), "minisign");
    ProcessResult result = runProcess(args, env(), tree.path(), 60);
    EXPECT_EQ(result.exitCode, 0) << result.err;
  }

  void makeKey(const std::string& name) {
    minisign({"-G", "-W", "-f", "-p", name + ".pub", "-s", name + ".key"});
  }

  std::vector<PublicKey> keysIn(const std::string& text) {
    std::vector<PublicKey> keys;
    std::string why;
    EXPECT_TRUE(parsePublicKeys(text, &keys, &why)) << why;
    return keys;
  }

  std::vector<PublicKey> keysOf(const std::string& name) {
    return keysIn(readFile(tree.at(name + ".pub")));
  }

  ArchiveSignature parsed(const std::string& text) {
    ArchiveSignature signature;
    std::string why;
    EXPECT_TRUE(parseSignature(text, &signature, &why)) << why;
    return signature;
  }

  // Signs tree/archive with the key name; the signature as minisign wrote it.
  std::string sign(const std::string& name, bool legacy,
                   const std::string& archive = "a.zip") {
    std::vector<std::string> args = {"-S", "-s", name + ".key", "-m", archive};
    if (legacy) args.push_back("-l");
    minisign(args);
    return readFile(tree.at(archive + ".minisig"));
  }

  SignatureCheck check(const std::string& signature,
                       const std::vector<PublicKey>& keys) {
    return checkArchiveSignature(tree.at("a.zip"), parsed(signature), keys);
  }

  ScratchTree tree;
};

TEST_F(SignatureCheckTest, TheSignedArchiveAloneVerifies) {
  makeKey("k");
  for (bool legacy : {false, true}) {
    for (size_t size : {0, 1, (3 << 20) + 7}) {  // several reads' worth
      std::string content(size, '\0');
      for (size_t i = 0; i < size; ++i) content[i] = char(i * 31 + i / 4093);
      writeFile(tree.at("a.zip"), content);
      std::string signature = sign("k", legacy);
      EXPECT_EQ(parsed(signature).algorithm,
                legacy ? SignatureAlgorithm::kLegacy
                       : SignatureAlgorithm::kPrehashed);
      int64_t seconds = 0;
      EXPECT_TRUE(trustedTimestamp(parsed(signature).trustedComment, &seconds));
      EXPECT_NEAR(seconds, time(nullptr), 300);
      EXPECT_TRUE(check(signature, keysOf("k")).verified()) << size << legacy;

      writeFile(tree.at("a.zip"), size ? content.replace(size / 2, 1, "#")
                                       : "x");
      SignatureCheck tampered = check(signature, keysOf("k"));
      EXPECT_EQ(tampered.verdict, SignatureVerdict::kArchiveMismatch);
      EXPECT_EQ(tampered.reason, "the signature does not match the archive");
    }
  }
}

TEST_F(SignatureCheckTest, OnlyATrustedKeyAndAnUneditedCommentVouch) {
  makeKey("old");
  makeKey("new");
  writeFile(tree.at("a.zip"), "archive");
  std::string oldKey = readFile(tree.at("old.pub"));
  std::string newKey = readFile(tree.at("new.pub"));
  // minisign's comment names the key id without its leading zeros.
  std::string commentId = newKey.substr(0, newKey.find('\n'));
  commentId = commentId.substr(commentId.rfind(' ') + 1);
  std::string newKeyId = std::string(16 - commentId.size(), '0') + commentId;
  for (bool legacy : {false, true}) {
    std::string signature = sign("new", legacy);
    std::string edited = signature;
    edited.insert(edited.find("\ntrusted comment: ") + 18, "x");
    std::vector<PublicKey> impostor = keysIn(oldKey);
    impostor[0].id = parsed(signature).keyId;
    std::vector<PublicKey> sharedId = impostor;
    sharedId.push_back(keysIn(newKey)[0]);  // the signer second
    const struct {
      std::string signature;
      std::vector<PublicKey> keys;
      SignatureVerdict verdict;
      std::string reason;
    } cases[] = {
        {signature, keysIn(oldKey + newKey), SignatureVerdict::kVerified, ""},
        {signature, keysIn(oldKey), SignatureVerdict::kUnknownKey,
         "signed with key " + newKeyId + ", which is not a trusted key"},
        {edited, keysIn(newKey), SignatureVerdict::kCommentMismatch,
         "the global signature does not match the trusted comment"},
        {signature, impostor, SignatureVerdict::kCommentMismatch,
         "the global signature does not match the trusted comment"},
        {signature, sharedId, SignatureVerdict::kVerified, ""}};
    for (const auto& c : cases) {
      SignatureCheck result = check(c.signature, c.keys);
      EXPECT_EQ(result.verdict, c.verdict) << c.reason << legacy;
      EXPECT_EQ(result.reason, c.reason);
      // The same without the archive, as before it is downloaded.
      result = checkSignatureComment(parsed(c.signature), c.keys);
      EXPECT_EQ(result.verdict, c.verdict) << c.reason << legacy;
      EXPECT_EQ(result.reason, c.reason);
    }
  }
}

TEST_F(SignatureCheckTest, TheDigestHashedOnTheWayServesPrehashedOnly) {
  makeKey("k");
  std::string content(100000, 'z');
  writeFile(tree.at("a.zip"), content);
  ArchiveHasher hasher;
  for (size_t at = 0; at < content.size(); at += 4097)
    hasher.update(&content[at], std::min<size_t>(4097, content.size() - at));
  ArchiveDigest digest = hasher.finish();
  std::vector<PublicKey> keys = keysOf("k");
  ArchiveSignature prehashed = parsed(sign("k", false));
  EXPECT_TRUE(checkArchiveSignature(digest, prehashed, keys).verified());
  digest[0] ^= 1;
  EXPECT_EQ(checkArchiveSignature(digest, prehashed, keys).verdict,
            SignatureVerdict::kArchiveMismatch);
  ArchiveSignature legacy = parsed(sign("k", true));
  EXPECT_EQ(checkArchiveSignature(digest, legacy, keys).verdict,
            SignatureVerdict::kCannotCheck);
}

TEST_F(SignatureCheckTest, AnArchiveThatIsNoFileCannotBeChecked) {
  makeKey("k");
  writeFile(tree.at("a.zip"), "archive");
  ASSERT_EQ(mkfifo(tree.at("fifo").c_str(), 0600), 0);
  makeDirs(tree.at("dir"));
  alarm(10);  // kill rather than hang should the FIFO be waited on
  for (bool legacy : {false, true}) {
    ArchiveSignature signature = parsed(sign("k", legacy));
    for (const char* path : {"missing", "fifo", "dir"}) {
      SignatureCheck result =
          checkArchiveSignature(tree.at(path), signature, keysOf("k"));
      EXPECT_EQ(result.verdict, SignatureVerdict::kCannotCheck) << path;
      EXPECT_EQ(result.reason.rfind(tree.at(path) + ": ", 0), 0u)
          << result.reason;
    }
  }
  alarm(0);
}

}  // namespace
