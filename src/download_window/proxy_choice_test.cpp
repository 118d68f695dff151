#include "download_window/proxy_choice.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "platform/log.h"
#include "support/captured_stderr.h"

namespace {

using Kind = ProxyRoute::Kind;
using Vars = std::map<std::string, std::string>;

EnvironmentReader readerOf(const Vars& vars) {
  return [vars](const char* name) -> const char* {
    auto found = vars.find(name);
    return found == vars.end() ? nullptr : found->second.c_str();
  };
}

// A desktop whose resolver answers answer, or fails when it is null.
DesktopProxies desktopAnswering(const char* answer) {
  return [answer](const std::string&, std::string* out, std::string* why) {
    if (!answer) *why = "no D-Bus";
    if (answer) *out = answer;
    return answer != nullptr;
  };
}

// The variables win; the desktop is asked only without them; no line ever
// holds a password; a proxy named without a user gets an empty one, for
// the user's Kerberos ticket.
TEST(ProxyChoice, TheVariablesWinThenTheDesktopIsAsked) {
  const char kUrl[] = "https://h/a.zip";
  const struct {
    const char* name;
    Vars vars;
    bool desktop;
    const char* answer;  // the desktop's; null: it fails
    Kind kind;
    const char* proxy;
    bool emptyUser;
    const char* line;
  } cases[] = {
      {"nothing anywhere", {}, false, "", Kind::kEnvironment, "", false, ""},
      {"variable", {{"https_proxy", "http://u:pw@p:3128"}}, true,
       "http://d:1\n", Kind::kEnvironment, "", false,
       "Proxy for https://h/a.zip: http://p:3128 (from https_proxy)"},
      {"variable without user", {{"https_proxy", "http://p:3128"}}, false, "",
       Kind::kEnvironment, "", true,
       "Proxy for https://h/a.zip: http://p:3128 (from https_proxy)"},
      {"variable and no_proxy",
       {{"HTTPS_PROXY", "u:pw@p:3128"}, {"NO_PROXY", "h"}}, false, "",
       Kind::kEnvironment, "", false,
       "Proxy for https://h/a.zip: p:3128 (from HTTPS_PROXY), unless no_proxy "
       "exempts the host"},
      {"variable of another scheme", {{"http_proxy", "p:3128"}}, true,
       "http://d:1\n", Kind::kEnvironment, "", false,
       "No proxy for https://h/a.zip: none of the proxy variables set is for "
       "its scheme"},
      {"no_proxy alone", {{"no_proxy", "*"}}, true, "http://u:pw@d:1\n",
       Kind::kProxy, "http://u:pw@d:1", false,
       "Proxy for https://h/a.zip: http://d:1 (from the desktop's settings)"},
      {"desktop without user", {}, true, "socks5://d:1\n", Kind::kProxy,
       "socks5h://d:1", true,
       "Proxy for https://h/a.zip: socks5h://d:1 (from the desktop's "
       "settings)"},
      {"desktop direct", {}, true, "direct://\n", Kind::kDirect, "", false,
       "No proxy for https://h/a.zip (from the desktop's settings)"},
      {"desktop of no use", {}, true, "ftp://u:pw@d:21\nuse-proxy:\n",
       Kind::kEnvironment, "", false,
       "No proxy for https://h/a.zip: the desktop's settings name none that "
       "this installer can use (ftp://d:21, use-proxy:)"},
      {"desktop failing", {}, true, nullptr, Kind::kEnvironment, "", false,
       "No proxy for https://h/a.zip: the desktop's proxy settings could not "
       "be read (no D-Bus)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string line = "stale";
    ProxyRoute route =
        routeFor(kUrl, readerOf(c.vars),
                 c.desktop ? desktopAnswering(c.answer) : nullptr, &line);
    EXPECT_EQ(route.kind, c.kind);
    EXPECT_EQ(route.proxy, c.proxy);
    EXPECT_EQ(route.emptyUser, c.emptyUser);
    EXPECT_EQ(line, c.line);
  }
}

// libcurl quotes a proxy it cannot parse, which is no URL: every proxy of
// the answer is hidden.
TEST(ProxyChoice, TheDesktopsCredentialsAreHiddenFromEveryLine) {
  std::string line;
  routeFor("https://h/a.zip", readerOf({}),
           desktopAnswering("http://d:1\nhttp://alice:Pr0xy/PW@d:2"), &line);
  EXPECT_EQ(loggable("Unsupported proxy syntax in 'alice:Pr0xy/PW@d:2'"),
            "Unsupported proxy syntax in 'alice:***@d:2'");
}

// The archive, its signature and every retry go one way, chosen once.
TEST(ProxyChoice, ARunChoosesItsRouteOnce) {
  Settings settings;
  settings.proxyVariables["https_proxy"] = "http://p:3128";
  RunProxyRoute route(settings);
  ProxyRouter router = route.router();
  CapturedStderr log;
  for (const char* url : {"https://h/a.zip", "https://h/a.zip.minisig"})
    EXPECT_EQ(router(url, [] { return false; }).kind, Kind::kEnvironment);
  const size_t line = log.text().find("Proxy for https://h/a.zip: http://p");
  EXPECT_NE(line, std::string::npos) << log.text();
  EXPECT_EQ(line, log.text().rfind("Proxy for")) << log.text();
}

// Only the desktop waits for the window, at most kDesktopHold and never
// past the stall limit; a run cancelled meanwhile does not ask it.
TEST(ProxyChoice, OnlyTheDesktopWaitsAndWithinTheStallLimit) {
  using std::chrono::seconds;
  const char kStopped[] = "could not be read (stopped before it was asked)";
  const struct {
    const char* name;
    Vars vars;
    const char* stall;
    seconds wait;  // 0: none
    const char* line;
  } cases[] = {
      {"desktop", {}, "60", kDesktopHold, kStopped},
      {"short stall limit", {}, "1", seconds(1), kStopped},
      {"variable", {{"http_proxy", "p"}}, "60", seconds(), "(from http_proxy)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Settings settings;
    settings.display = ":9";
    settings.proxyVariables = c.vars;
    settings.stallSeconds = c.stall;
    // Cancelled once it has waited.
    ProxyClock::time_point until, before = ProxyClock::now();
    testing::internal::CaptureStderr();
    chooseProxyRoute(
        "http://h/a.zip", settings,
        [&] { return until != ProxyClock::time_point(); },
        [&](ProxyClock::time_point end) { until = end; });
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(until != ProxyClock::time_point(), c.wait.count() != 0);
    if (c.wait.count() != 0) {
      EXPECT_LE(before + c.wait, until);
      EXPECT_LE(until, ProxyClock::now() + c.wait);
    }
    EXPECT_NE(err.find(c.line), std::string::npos) << err;
  }
}

}  // namespace
