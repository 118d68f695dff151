// Signed agents: a bundle with installAgentKey.pub runs a downloaded agent
// only when one of its keys signed the archive. Keys and signatures are
// made by the real minisign during the test.

#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;

const char kNotVerified[] = "The downloaded installer could not be verified.";

class SignedAgent : public BundleFixture {
 protected:
  SignedAgent() {
    makeBundle(Layout::kPlainDirectory);
    setUrl(server_.url("/agent.zip"));
    makeDirs(tree_.at("keys"));
  }

  void SetUp() override {
    if (runProcess({"minisign", "-v"}, keysEnv(), tree_.at("keys"), 10)
            .exitCode != 0)
      GTEST_SKIP() << "minisign is not installed; signed agents go untested";
  }

  Strings keysEnv() const { return {"HOME=" + tree_.at("keys")}; }

  void minisign(Strings args) {
    args.insert(args.begin(), "minisign");
    ProcessResult result = runProcess(args, keysEnv(), tree_.at("keys"), 60);
    ASSERT_EQ(result.exitCode, 0) << result.err;
  }

  // A key pair named name; its public key file's text.
  std::string makeKey(const std::string& name) {
    minisign({"-G", "-W", "-f", "-p", name + ".pub", "-s", name + ".key"});
    return readFile(tree_.at("keys/" + name + ".pub"));
  }

  void shipKeys(const std::string& text) {
    writeFile(resources_ + "/installAgentKey.pub", text);
  }

  // The signature of bytes by key, as minisign writes it; the trusted
  // comment is minisign's own unless given.
  std::string sign(const std::string& bytes, const std::string& key,
                   bool legacy = false, const std::string& comment = "") {
    writeFile(tree_.at("keys/a.zip"), bytes);
    Strings args = {"-S", "-s", key + ".key", "-m", "a.zip"};
    if (legacy) args.push_back("-l");
    if (!comment.empty()) args.insert(args.end(), {"-t", comment});
    minisign(args);
    return readFile(tree_.at("keys/a.zip.minisig"));
  }

  // Serves archive with etag at path, and signature beside it.
  void serve(const std::string& archive, const std::string& etag,
             const std::string& signature,
             const std::string& path = "/agent.zip") {
    TestReply reply;
    reply.body = archive;
    reply.headers = {{"ETag", etag}};
    reply.conditional = true;
    server_.serve(path, reply);
    TestReply sig;
    sig.body = signature;
    server_.serve(path + ".minisig", sig);
  }

  std::string agent(const std::string& tag) {
    return readFile(makeAgentArchive(tag));
  }

  void expectRefused(const ProcessResult& result, const std::string& cause,
                     const std::string& runs) {
    EXPECT_EQ(result.exitCode, 255) << result.err;
    EXPECT_NE(result.err.find(kNotVerified), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(cause), std::string::npos) << result.err;
    EXPECT_EQ(agentRuns(), runs);
    EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
  }

  TestHttpServer server_;
};

TEST_F(SignedAgent, AnArchiveSignedByAKeyOfTheBundleRuns) {
  std::string first = makeKey("first"), second = makeKey("second");
  const struct {
    const char* name;
    std::string keys;
    const char* signer;
    bool legacy;
  } cases[] = {
      {"prehashed", first, "first", false},
      {"legacy", first, "first", true},
      {"rotated", first + second, "second", false},  // signed by the second
  };
  std::string runs;
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    shipKeys(c.keys);
    std::string archive = agent(c.name);
    serve(archive, "\"v" + std::to_string(++n) + "\"",
          sign(archive, c.signer, c.legacy));
    ProcessResult result = run({});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    runs += std::string(c.name) + "\n";
    EXPECT_EQ(agentRuns(), runs);
    EXPECT_EQ(readFile(cache() + ".validatestring"), "\"v" +
                                                         std::to_string(n) +
                                                         "\"");
    EXPECT_EQ(readFile(cache() + ".agentsignature").compare(0, 6, "keyid:"),
              0);
  }
}

TEST_F(SignedAgent, WhatNoKeyVouchesForIsRefusedAndNothingCached) {
  shipKeys(makeKey("bundle"));
  makeKey("other");
  const std::string archive = agent("bad");
  std::string good = sign(archive, "bundle");
  std::string edited = good;
  edited.insert(edited.find("\ntrusted comment: ") + 18, "x");
  std::string tampered = archive;
  tampered[tampered.size() / 2] ^= 1;
  const struct {
    const char* name;
    std::string archive;
    std::string signature;  // "" serves none
    const char* cause;
    int archiveRequests;  // none when the signature alone refuses it
  } cases[] = {
      {"tampered archive", tampered, good, "does not match the archive", 2},
      {"another key", archive, sign(archive, "other"), "not a trusted key", 0},
      {"no signature", archive, "", "no signature at", 0},
      {"malformed", archive, "untrusted comment: x\nnot base64\n",
       "signature is malformed", 0},
      {"edited trusted comment", archive, edited, "trusted comment", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int before = server_.requestCount("/agent.zip");
    serve(c.archive, "\"bad\"", c.signature);
    if (c.signature.empty()) {
      TestReply missing;
      missing.status = 404;
      server_.serve("/agent.zip.minisig", missing);
    }
    expectRefused(run({}, {"ZR_BOOTSTRAP_RETRIES=0"}), c.cause, "");
    EXPECT_EQ(server_.requestCount("/agent.zip") - before, c.archiveRequests);
    EXPECT_FALSE(pathExists(cache() + "installagent/install"));
    EXPECT_FALSE(pathExists(cache() + ".validatestring"));
  }
}

// A server that changed the archive after the signature was made: the run
// fetches both once more before it gives up.
TEST_F(SignedAgent, AMismatchIsFetchedOnceMoreFromTheStart) {
  shipKeys(makeKey("k"));
  const std::string archive = agent("one");
  std::string signature = sign(agent("other"), "k");
  serve(archive, "\"v1\"", signature);
  expectRefused(run({}), "does not match the archive", "");
  EXPECT_EQ(server_.requestCount("/agent.zip"), 2);
  EXPECT_EQ(server_.requestCount("/agent.zip.minisig"), 2);

  // The signature catches up while the run fetches the archive again.
  TestReply stale, fixed;
  stale.body = signature;
  fixed.body = sign(archive, "k");
  server_.serveOnce("/agent.zip.minisig", stale);
  server_.serve("/agent.zip.minisig", fixed);
  ProcessResult result = run({});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "one\n");
  EXPECT_EQ(server_.requestCount("/agent.zip"), 4);
}

// A download resumed from what a cut run kept is verified whole: the kept
// start is hashed with the rest, and a kept start that was spoiled meanwhile
// fails the signature, so the archive is fetched once more from the start.
TEST_F(SignedAgent, AResumedArchiveIsVerifiedWhole) {
  shipKeys(makeKey("bundle"));
  const std::string archive = agent("resumed");
  const std::string signature = sign(archive, "bundle");
  const std::string kept = cache() + ".partial-download";
  const bool spoil[] = {false, true};
  for (bool spoiled : spoil) {
    SCOPED_TRACE(spoiled ? "spoiled" : "intact");
    serve(archive, "\"v1\"", signature);
    TestReply whole;
    whole.body = archive;
    whole.headers = {{"ETag", "\"v1\""}};
    whole.acceptRanges = true;
    server_.serve("/agent.zip", whole);
    TestReply half = whole;
    half.stallAfter = static_cast<int64_t>(archive.size() / 2);
    server_.serveOnce("/agent.zip", half);
    ProcessResult cut =
        run({}, {"ZR_BOOTSTRAP_STALL_SECONDS=2", "ZR_BOOTSTRAP_RETRIES=0"});
    ASSERT_EQ(cut.exitCode, 255) << cut.err;
    std::string start = readFile(kept);
    ASSERT_FALSE(start.empty());
    if (spoiled) {
      start[0] ^= 1;
      writeFile(kept, start);
      ASSERT_EQ(chmod(kept.c_str(), 0600), 0);
    }
    const size_t before = server_.requestHeaders("/agent.zip", "Range").size();

    ProcessResult result = run({}, {"ZR_BOOTSTRAP_RETRIES=0"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(agentRuns(), spoiled ? "resumed\nresumed\n" : "resumed\n");
    Strings ranges = server_.requestHeaders("/agent.zip", "Range");
    ranges.erase(ranges.begin(), ranges.begin() + before);
    const std::string rest = "bytes=" + std::to_string(start.size()) + "-";
    EXPECT_EQ(ranges, spoiled ? (Strings{rest, ""}) : (Strings{rest}));
    EXPECT_FALSE(pathExists(kept));
    // The next case starts with no cached agent to reuse.
    ASSERT_EQ(system(("rm -rf '" + cache() + "'").c_str()), 0);
  }
}

// Each URL is judged against the newest signature time taken from it with
// its key, whatever the cache holds since: another product's bundle at
// another URL neither is blocked by it nor lowers it.
TEST_F(SignedAgent, AnOlderSignedArchiveIsNotTakenBackFromItsUrl) {
  shipKeys(makeKey("k"));
  const std::string newer = agent("newer"), older = agent("older");
  const char kOlder[] = "before an agent already taken from this URL";
  serve(newer, "\"v2\"", sign(newer, "k", false, "timestamp:2000\tfile:a"));
  ASSERT_EQ(run({}).exitCode, 0);
  serve(older, "\"v1\"", sign(older, "k", false, "timestamp:1000\tfile:a"));
  expectRefused(run({}), kOlder, "newer\n");
  EXPECT_EQ(readFile(cache() + ".validatestring"), "\"v2\"");

  const std::string other = agent("other");
  serve(other, "\"o1\"", sign(other, "k", false, "timestamp:500\tfile:a"),
        "/other.zip");
  setUrl(server_.url("/other.zip"));
  EXPECT_EQ(run({}).exitCode, 0);
  setUrl(server_.url("/agent.zip"));
  expectRefused(run({}), kOlder, "newer\nother\n");

  // Without a time it could be older: refused, before the archive is asked
  // for.
  const int asked = server_.requestCount("/agent.zip");
  const std::string untimed = agent("untimed");
  serve(untimed, "\"v0\"", sign(untimed, "k", false, "file:a"));
  expectRefused(run({}), "has no timestamp", "newer\nother\n");
  EXPECT_EQ(server_.requestCount("/agent.zip"), asked);

  // Signed again by the vendor, the old archive is taken on purpose.
  serve(older, "\"v1\"", sign(older, "k", false, "timestamp:3000\tfile:a"));
  EXPECT_EQ(run({}).exitCode, 0);
  EXPECT_EQ(agentRuns(), "newer\nother\nolder\n");
}

TEST_F(SignedAgent, TheCacheCountsOnlyForAKeyStillInTheBundle) {
  std::string old = makeKey("old"), now = makeKey("new");
  const std::string archive = agent("same");
  shipKeys(old);
  serve(archive, "\"v1\"", sign(archive, "old"));
  ASSERT_EQ(run({}).exitCode, 0);
  EXPECT_EQ(run({}).exitCode, 0);  // confirmed by 304
  EXPECT_EQ(server_.requestHeaders("/agent.zip", "If-None-Match"),
            (Strings{"", "\"v1\""}));

  shipKeys(now);
  serve(archive, "\"v1\"", sign(archive, "new"));
  ProcessResult result = run({});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(server_.requestHeaders("/agent.zip", "If-None-Match"),
            (Strings{"", "\"v1\"", ""}));
  // The signature comes first, before every request for the archive.
  EXPECT_EQ(server_.requestCount("/agent.zip.minisig"), 3);
  EXPECT_EQ(agentRuns(), "same\nsame\nsame\n");
}

TEST_F(SignedAgent, WithoutAKeyFileNoSignatureIsAskedFor) {
  const std::string archive = agent("plain");
  serve(archive, "\"v1\"", "");
  EXPECT_EQ(run({}).exitCode, 0);
  EXPECT_EQ(server_.requestCount("/agent.zip.minisig"), 0);
  EXPECT_FALSE(pathExists(cache() + ".agentsignature"));
}

TEST_F(SignedAgent, ABrokenKeyFileFailsBeforeAnyRequest) {
  shipKeys("untrusted comment: k\nnot a key\n");
  serve(agent("never"), "\"v1\"", "");
  ProcessResult result = run({});
  EXPECT_EQ(result.exitCode, 255) << result.err;
  EXPECT_NE(result.err.find("installAgentKey.pub: "), std::string::npos)
      << result.err;
  EXPECT_EQ(server_.requestCount("/agent.zip"), 0);
  EXPECT_EQ(agentRuns(), "");
}

}  // namespace
