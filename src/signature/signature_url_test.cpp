#include "signature/signature_url.h"

#include <gtest/gtest.h>

namespace {

TEST(SignatureUrl, BesideTheArchiveBeforeAnyQuery) {
  const struct { const char* archive; const char* signature; } cases[] = {
      {"https://x.test/a/InstallAgent.zip",
       "https://x.test/a/InstallAgent.zip.minisig"},
      {"https://x.test/get?name=agent&v=2",
       "https://x.test/get.minisig?name=agent&v=2"},
      {"http://x.test/agent.zip#part", "http://x.test/agent.zip.minisig#part"},
      {"http://x.test/a.zip?x#y", "http://x.test/a.zip.minisig?x#y"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(signatureUrlOf(c.archive), c.signature) << c.archive;
}

}  // namespace
