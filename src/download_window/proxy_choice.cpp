#include "download_window/proxy_choice.h"


#include <algorithm>

#include "net/session_settings.h"
#include "platform/log.h"
#include "ui/backend.h"
#include "ui/desktop_module.h"

namespace {

const char kFromDesktop[] = " (from the desktop's settings)";

// The answer's lines, one after the other, credentials left out.
std::string listed(const std::string& answer) {
  std::string list;
  size_t start = 0;
  for (size_t end; (end = answer.find('\n', start)) != std::string::npos;
       start = end + 1)
    list += (list.empty() ? "" : ", ") +
            withoutCredentials(answer.substr(start, end - start));
  return list;
}

// Before any line names them: libcurl's own messages quote a proxy it
// cannot parse whole.
void hideCredentials(const std::string& answer) {
  for (size_t start = 0, end; start < answer.size(); start = end + 1) {
    end = std::min(answer.find('\n', start), answer.size());
    for (const std::string& secret :
         credentialsIn(answer.substr(start, end - start)))
      hideInLog(secret);
  }
}

ProxyRoute fromEnvironment(const std::string& url,
                           const EnvironmentReader& variable,
                           std::string* line) {
  std::string name = proxyVariableFor(url, variable);
  if (name.empty()) {
    *line = "No proxy for " + url +
            ": none of the proxy variables set is for its scheme";
    return ProxyRoute();
  }
  const std::string proxy = variable(name.c_str());
  const std::string shown = withoutCredentials(proxy);
  *line = "Proxy for " + url + ": " + shown + " (from " + name + ")";
  const char* exempt = variable("no_proxy");
  if (!exempt || !*exempt) exempt = variable("NO_PROXY");
  if (exempt && *exempt) *line += ", unless no_proxy exempts the host";
  ProxyRoute route;
  route.emptyUser = shown == proxy;
  return route;
}

ProxyRoute fromDesktop(const std::string& url, const DesktopProxies& desktop,
                       std::string* line) {
  std::string answer, why;
  ProxyRoute route;
  bool answered = desktop(url, &answer, &why);
  hideCredentials(answer);
  if (!answered) {
    *line = "No proxy for " + url +
            ": the desktop's proxy settings could not be read (" + why + ")";
  } else if (!routeFromResolverAnswer(answer, &route)) {
    *line = "No proxy for " + url + ": the desktop's settings name none " +
            "that this installer can use (" + listed(answer) + ")";
  } else if (route.kind == ProxyRoute::Kind::kDirect) {
    *line = "No proxy for " + url + kFromDesktop;
  } else {
    const std::string shown = withoutCredentials(route.proxy);
    *line = "Proxy for " + url + ": " + shown + kFromDesktop;
    route.emptyUser = shown == route.proxy;
  }
  return route;
}

}  // namespace

ProxyRoute routeFor(const std::string& url, const EnvironmentReader& variable,
                    const DesktopProxies& desktop, std::string* line) {
  line->clear();
  if (anyProxyVariable(variable)) return fromEnvironment(url, variable, line);
  if (desktop) return fromDesktop(url, desktop, line);
  return ProxyRoute();
}

ProxyRoute chooseProxyRoute(const std::string& url, const Settings& settings,
                            const std::function<bool()>& cancelled,
                            const DesktopWait& wait) {
  DesktopProxies desktop;
  if (inDesktopSession(settings)) {
    std::chrono::seconds stall(sessionSettings(settings).stallSeconds);
    desktop = [stall, &cancelled, &wait](const std::string& url,
                                         std::string* answer,
                                         std::string* why) {
      const ProxyClock::time_point deadline = ProxyClock::now() + stall;
      wait(std::min(deadline, ProxyClock::now() + kDesktopHold));
      if (cancelled()) {
        *why = "stopped before it was asked";
        return false;
      }
      return desktopProxiesFor(
          url,
          std::chrono::duration_cast<std::chrono::milliseconds>(
              deadline - ProxyClock::now()),
          cancelled, answer, why);
    };
  }
  std::string line;
  ProxyRoute route = routeFor(
      url, [&](const char* name) { return settings.proxyVariable(name); },
      desktop, &line);
  if (!line.empty()) logLine("%s", line.c_str());
  return route;
}

ProxyRoute RunProxyRoute::operator()(const std::string& url,
                                     const std::function<bool()>& cancelled) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!chosen_)
    chosen_ =
        chooseProxyRoute(url, settings_, cancelled,
                         [this, &cancelled](ProxyClock::time_point until) {
                           waitUntilAllowed(until, cancelled);
                         });
  return *chosen_;
}

void RunProxyRoute::allowDesktop() {
  std::lock_guard<std::mutex> lock(allowMutex_);
  desktopAllowed_ = true;
  allowed_.notify_all();
}

// Wakes now and then to hear of a cancel, which has no signal of its own.
void RunProxyRoute::waitUntilAllowed(ProxyClock::time_point until,
                                     const std::function<bool()>& cancelled) {
  const std::chrono::milliseconds kCancelCheck(50);
  std::unique_lock<std::mutex> lock(allowMutex_);
  while (!desktopAllowed_ && !cancelled() && ProxyClock::now() < until)
    allowed_.wait_until(lock,
                        std::min(until, ProxyClock::now() + kCancelCheck));
}
