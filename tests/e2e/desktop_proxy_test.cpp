// A proxy set in the desktop's settings (GNOME's, in a settings file of the
// test's own) carries the download when no proxy variable is set; a
// variable wins over it. The window stays in the console: the settings are
// read through the desktop module whatever shows the download.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/bundle_fixture.h"
#include "support/loopback_socket.h"
#include "support/squid_proxy.h"
#include "support/test_http_server.h"
#include "support/x_display.h"

namespace {

using Strings = std::vector<std::string>;

const char kUser[] = "deskuser";
const char kPassword[] = "d3sk-pw";

std::string proxySettings(int port) {
  return "[system/proxy]\nmode='manual'\nignore-hosts=@as []\n"
         "[system/proxy/http]\nhost='127.0.0.1'\nport=" +
         std::to_string(port) +
         "\nuse-authentication=true\n"
         "authentication-user='" +
         kUser + "'\nauthentication-password='" + kPassword + "'\n";
}

class DesktopProxy : public BundleFixture {
 protected:
  DesktopProxy() {
    makeBundle(Layout::kAppBundle);
    copyBesideExecutable(BOOTSTRAP_DESKTOP_MODULE_PATH);
  }

  void SetUp() override {
    if (access(SquidProxy::kPath, X_OK) != 0)
      GTEST_SKIP() << "squid is not installed; proxies go untested";
    ASSERT_EQ(chmod(tree_.path().c_str(), 0711), 0);
    squid_.reset(new SquidProxy(tree_.at("squid"), kUser, kPassword));
    ASSERT_TRUE(squid_->ready()) << "squid did not start";
    TestReply reply;
    reply.body = readFile(makeAgentArchive("desk"));
    reply.headers = {{"ETag", "\"d1\""}};
    server_.serve("/agent.zip", reply);
    setUrl(server_.url("/agent.zip"));
    makeDirs(tree_.at("config/glib-2.0/settings"));
  }

  void setDesktopProxyPort(int port) {
    writeFile(tree_.at("config/glib-2.0/settings/keyfile"),
              proxySettings(port));
  }

  TestHttpServer server_;
  std::unique_ptr<SquidProxy> squid_;
};

TEST_F(DesktopProxy, CarriesTheDownloadUnlessAVariableIsSet) {
  int refusing = 0;
  close(listenOnLoopback(&refusing));  // nothing listens there any more
  const std::string dead = deadDisplayName();
  ASSERT_NE(dead, "");
  const std::string url = server_.url("/agent.zip");
  const struct {
    const char* name;
    int desktopPort;
    Strings env;
    const char* line;  // "" for none
    bool proxied;
  } cases[] = {
      {"desktop's settings",
       squid_->port(),
       {"DISPLAY=" + dead},
       "Proxy for %s: http://127.0.0.1:%d (from the desktop's settings)",
       true},
      {"variable wins",
       refusing,
       {"DISPLAY=" + dead, "http_proxy=" + squid_->url(std::string(kUser) +
                                                       ":" + kPassword + "@")},
       "Proxy for %s: http://127.0.0.1:%d (from http_proxy)",
       true},
      {"no desktop session", refusing, {}, "", false},
  };
  size_t proxiedSoFar = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setDesktopProxyPort(c.desktopPort);
    Strings env = c.env;
    for (const char* setting :
         {"XDG_CURRENT_DESKTOP=GNOME", "GSETTINGS_BACKEND=keyfile",
          "ZR_BOOTSTRAP_UI=console", "ZR_BOOTSTRAP_RETRIES=0",
          "ASAN_OPTIONS=detect_leaks=0"})
      env.push_back(setting);
    env.push_back("XDG_CONFIG_HOME=" + tree_.at("config"));
    ProcessResult result = run({}, env);

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(agentRuns(), "desk\n");
    char line[512] = "";
    snprintf(line, sizeof line, c.line, url.c_str(), squid_->port());
    const char* said = *line ? line : "roxy for ";  // no line of either kind
    EXPECT_EQ(result.err.find(said) != std::string::npos, *line != '\0')
        << result.err;
    EXPECT_EQ(result.err.find(kPassword), std::string::npos) << result.err;
    proxiedSoFar += c.proxied;
    std::string log = squid_->accessLog();
    size_t carried = 0;
    for (size_t at = 0; (at = log.find("/agent.zip " + std::string(kUser),
                                       at)) != std::string::npos;
         ++at)
      ++carried;
    EXPECT_EQ(carried, proxiedSoFar) << log;
    remove(tree_.at("record.runs").c_str());
    ASSERT_EQ(system(("rm -rf '" + cache() + "'").c_str()), 0);
  }
}

}  // namespace
