#include "common/settings.h"

#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Each case sets exactly these variables; the others read as unset.
TEST(Settings, ReadTheEnvironmentOnceAsTheInstallerTakesIt) {
  const char* names[] = {"CURL_CA_BUNDLE", "SSL_CERT_FILE", "DISPLAY",
                         "WAYLAND_DISPLAY", "ZR_INTERNAL_INSTALL_AGENT_URL",
                         "__ZR_BOOTSTRAP_INSTALLER_UNITTEST__", "https_proxy",
                         "HTTP_PROXY"};
  const struct {
    const char* name;
    std::vector<std::pair<const char*, const char*>> set;
    std::string caBundle, display;
    bool agentUrl, unitTest, proxy;
  } cases[] = {
      {"nothing", {}, "", "", false, false, false},
      {"curl's own bundle first",
       {{"CURL_CA_BUNDLE", "/a"}, {"SSL_CERT_FILE", "/b"}}, "/a", "", false,
       false, false},
      {"an empty one does not count",
       {{"CURL_CA_BUNDLE", ""}, {"SSL_CERT_FILE", "/b"}}, "/b", "", false,
       false, false},
      {"X before Wayland", {{"DISPLAY", ":1"}, {"WAYLAND_DISPLAY", "w"}}, "",
       ":1", false, false, false},
      {"Wayland alone", {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", "w"}}, "", "w",
       false, false, false},
      {"set even when empty",
       {{"ZR_INTERNAL_INSTALL_AGENT_URL", ""},
        {"__ZR_BOOTSTRAP_INSTALLER_UNITTEST__", ""}},
       "", "", true, true, false},
      // libcurl never reads HTTP_PROXY in capitals.
      {"proxies", {{"https_proxy", "p:1"}, {"HTTP_PROXY", "q:1"}}, "", "",
       false, false, true},
  };
  for (const auto& c : cases) {
    for (const char* name : names) unsetenv(name);
    for (const auto& variable : c.set)
      setenv(variable.first, variable.second, 1);
    Settings settings = settingsFromEnvironment();
    EXPECT_EQ(settings.caBundle, c.caBundle) << c.name;
    EXPECT_EQ(settings.display, c.display) << c.name;
    EXPECT_EQ(settings.agentUrl.has_value(), c.agentUrl) << c.name;
    EXPECT_EQ(settings.unitTest, c.unitTest) << c.name;
    EXPECT_EQ(settings.proxyVariables.size(), c.proxy ? 1u : 0u) << c.name;
  }
  for (const char* name : names) unsetenv(name);
}

}  // namespace
