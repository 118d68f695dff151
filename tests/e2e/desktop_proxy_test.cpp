// A proxy set in the desktop's settings (GNOME's, in a settings file of the
// test's own) carries the download when no proxy variable is set; a
// variable wins over it. The window stays in the console: the settings are
// read through the desktop module whatever shows the download.

#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/proxied_bundle.h"
#include "support/loopback_socket.h"
#include "support/x_display.h"

namespace {

using Strings = std::vector<std::string>;

const char kUser[] = "deskuser";
const char kPassword[] = "d3sk-pw";

std::string manualSettings(int port) {
  return "[system/proxy]\nmode='manual'\nignore-hosts=@as []\n"
         "[system/proxy/http]\nhost='127.0.0.1'\nport=" +
         std::to_string(port) +
         "\nuse-authentication=true\n"
         "authentication-user='" +
         kUser + "'\nauthentication-password='" + kPassword + "'\n";
}

class DesktopProxy : public ProxiedBundle {
 protected:
  DesktopProxy() : ProxiedBundle(kUser, kPassword, "desk") {
    copyBesideExecutable(BOOTSTRAP_DESKTOP_MODULE_PATH);
    makeDirs(tree_.at("config/glib-2.0/settings"));
  }

  void setDesktopSettings(const std::string& settings) {
    writeFile(tree_.at("config/glib-2.0/settings/keyfile"), settings);
  }

  // A GNOME session's environment, its settings in the test's keyfile,
  // with extra; the download in the console, tried once.
  Strings desktopEnvironment(const Strings& extra) {
    Strings env = extra;
    for (const char* setting :
         {"XDG_CURRENT_DESKTOP=GNOME", "GSETTINGS_BACKEND=keyfile",
          "ZR_BOOTSTRAP_UI=console", "ZR_BOOTSTRAP_RETRIES=0",
          "ASAN_OPTIONS=detect_leaks=0"})
      env.push_back(setting);
    env.push_back("XDG_CONFIG_HOME=" + tree_.at("config"));
    return env;
  }
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
    setDesktopSettings(manualSettings(c.desktopPort));
    ProcessResult result = run({}, desktopEnvironment(c.env));

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
    forgetRun();
  }
}

// An automatic configuration: GIO's resolver has a helper on the session
// bus fetch the script (from the test's server) and run it, and the proxy
// it names carries the request. A script gives no credentials, so the
// proxy refuses it, and the run says so in its line.
TEST_F(DesktopProxy, FollowsAnAutomaticConfigurationScript) {
  const char kBus[] = "/usr/bin/dbus-daemon";
  if (access(kBus, X_OK) != 0)
    GTEST_SKIP() << "no session bus to run the script on";
  const std::string socket = tree_.at("bus");
  BackgroundProcess bus(
      {kBus, "--session", "--nofork", "--address=unix:path=" + socket},
      {"PATH=/usr/bin:/bin"}, tree_.path());
  ASSERT_TRUE(waitFor([&] { return pathExists(socket); }));
  TestReply script;
  script.body =
      "function FindProxyForURL(url, host) {\n"
      "  return \"PROXY 127.0.0.1:" +
      std::to_string(squid_->port()) + "; DIRECT\";\n}\n";
  script.headers = {{"Content-Type", "application/x-ns-proxy-autoconfig"}};
  server_.serve("/proxy.pac", script);
  setDesktopSettings(
      "[system/proxy]\nmode='auto'\nignore-hosts=@as []\n"
      "autoconfig-url='" +
      server_.url("/proxy.pac") + "'\n");

  ProcessResult result = run(
      {}, desktopEnvironment({"DISPLAY=" + deadDisplayName(),
                              "DBUS_SESSION_BUS_ADDRESS=unix:path=" + socket}));
  EXPECT_EQ(result.exitCode, 255) << result.err;
  EXPECT_EQ(agentRuns(), "");
  const std::string line =
      "Proxy for " + server_.url("/agent.zip") +
      ": http://127.0.0.1:" + std::to_string(squid_->port()) +
      " (from the desktop's settings)";
  EXPECT_NE(result.err.find(line), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(kAskForCredentials), std::string::npos)
      << result.err;
  EXPECT_NE(squid_->accessLog().find("TCP_DENIED/407"), std::string::npos)
      << squid_->accessLog();
}

}  // namespace
