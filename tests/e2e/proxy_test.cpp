// Through a real proxy (squid) that asks for credentials: the bootstrap
// answers whatever scheme it offers with the credentials of the proxy
// variable, and without them says in one line what to do.

#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/proxied_bundle.h"
#include "support/kerberos_realm.h"
#include "support/process.h"
#include "support/test_http_server.h"

namespace {

using Strings = std::vector<std::string>;

const char kUser[] = "agentfetcher";
const char kPassword[] = "s3cret-pw";

class ThroughAProxy : public ProxiedBundle {
 protected:
  ThroughAProxy() : ProxiedBundle(kUser, kPassword, "proxied") {}
};

TEST_F(ThroughAProxy, DigestCredentialsInTheProxyVariableAreAnswered) {
  const std::string credentials = std::string(kUser) + ":" + kPassword + "@";
  const struct {
    const char* name;
    std::string proxy;
    bool runs;
  } cases[] = {
      {"credentials", squid_->url(credentials), true},
      {"none", squid_->url(), false},
      {"wrong password", squid_->url(std::string(kUser) + ":nope@"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessResult result =
        run({}, {"http_proxy=" + c.proxy, "ZR_BOOTSTRAP_RETRIES=0"});
    EXPECT_EQ(result.exitCode, c.runs ? 0 : 255) << result.err;
    EXPECT_EQ(agentRuns(), c.runs ? "proxied\n" : "");
    EXPECT_EQ(result.err.find(kAskForCredentials) != std::string::npos, !c.runs)
        << result.err;
    EXPECT_EQ(result.err.find(kPassword), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("nope"), std::string::npos) << result.err;
    forgetRun();
  }
  // The proxy carried the one download it was given credentials for.
  EXPECT_NE(squid_->accessLog().find(std::string("/agent.zip ") + kUser),
            std::string::npos)
      << squid_->accessLog();
}

// An https download goes through the proxy's tunnel (CONNECT), which the
// proxy opens only with credentials; a refused tunnel says what to do, as
// a refused request does, and is not tried again.
TEST_F(ThroughAProxy, TheTunnelOfAnHttpsDownloadIsOpenedWithCredentials) {
  TestCertificates made;
  ASSERT_TRUE(makeTestCertificates(tree_.at("certs"), &made));
  TestHttpServer secure(made.certFile, made.keyFile);
  TestReply reply;
  reply.body = readFile(makeAgentArchive("tunnelled"));
  secure.serve("/agent.zip", reply);
  setUrl(secure.url("/agent.zip"));
  const std::string credentials = std::string(kUser) + ":" + kPassword + "@";
  const std::pair<std::string, bool> cases[] = {
      {squid_->url(credentials), true}, {squid_->url(), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second ? "credentials" : "none");
    ProcessResult result =
        run({}, {"https_proxy=" + c.first, "SSL_CERT_FILE=" + made.caFile});
    EXPECT_EQ(result.exitCode, c.second ? 0 : 255) << result.err;
    EXPECT_EQ(agentRuns(), c.second ? "tunnelled\n" : "");
    EXPECT_EQ(result.err.find(kAskForCredentials) != std::string::npos,
              !c.second)
        << result.err;
    EXPECT_EQ(result.err.find("retry"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(kPassword), std::string::npos) << result.err;
    remove(tree_.at("record.runs").c_str());
  }
}

// A proxy that asks for Kerberos (Negotiate) is answered with the user's
// ticket when the proxy variable names no user; without a ticket the run
// ends with the line that says what to do.
class ThroughAKerberosProxy : public ProxiedBundle {
 protected:
  ThroughAKerberosProxy() : ProxiedBundle("", "", "kerberos") {}

  void SetUp() override {
    if (!KerberosRealm::available())
      GTEST_SKIP() << "no Kerberos KDC installed; Negotiate goes untested";
    ProxiedBundle::SetUp();
  }

  SquidAuth squidAuth() override {
    realm_.reset(new KerberosRealm(tree_.at("realm"), "alice"));
    EXPECT_TRUE(realm_->ready()) << "the realm did not start";
    return negotiateAuth(realm_->serviceKeytab(), realm_->servicePrincipal(),
                         realm_->config());
  }

  std::unique_ptr<KerberosRealm> realm_;
};

TEST_F(ThroughAKerberosProxy, TheUsersTicketIsTheCredential) {
  const struct {
    const char* name;
    std::string tickets;
    bool runs;
  } cases[] = {
      {"ticket", realm_->ticketCache(), true},
      {"no ticket", "FILE:" + tree_.at("realm/none"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The service's name is the proxy's host name as the URL spells it.
    ProcessResult result =
        run({}, {"http_proxy=" + squid_->url("", "localhost"),
                 "KRB5_CONFIG=" + realm_->config(), "KRB5CCNAME=" + c.tickets,
                 "ZR_BOOTSTRAP_RETRIES=0"});
    EXPECT_EQ(result.exitCode, c.runs ? 0 : 255) << result.err;
    EXPECT_EQ(agentRuns(), c.runs ? "kerberos\n" : "");
    EXPECT_EQ(result.err.find(kAskForCredentials) != std::string::npos, !c.runs)
        << result.err;
    forgetRun();
  }
  EXPECT_NE(squid_->accessLog().find("/agent.zip alice@TEST.LOCAL"),
            std::string::npos)
      << squid_->accessLog();
}

}  // namespace
