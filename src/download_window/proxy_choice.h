#ifndef BOOTSTRAP_DOWNLOAD_WINDOW_PROXY_CHOICE_H_
#define BOOTSTRAP_DOWNLOAD_WINDOW_PROXY_CHOICE_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "common/settings.h"
#include "net/proxy_route.h"

// Asks the desktop's settings for url's proxies: true with the resolver's
// answer (one URI per line), else false with a one-line reason.
using DesktopProxies = std::function<bool(
    const std::string& url, std::string* answer, std::string* why)>;

// The route to url: the proxy variables, when any is set, as libcurl reads
// them; else the desktop's settings, when there are some to ask (desktop
// not null); else libcurl's own way, which is then direct. *line is the
// log line that says which proxy and where from, credentials left out;
// empty when nothing anywhere names a proxy.
ProxyRoute routeFor(const std::string& url, const EnvironmentReader& variable,
                    const DesktopProxies& desktop, std::string* line);

using ProxyClock = std::chrono::steady_clock;

// Returns once the desktop may be asked, or at until at the latest.
using DesktopWait = std::function<void(ProxyClock::time_point until)>;

// How long the desktop waits to be allowed before it is asked anyway.
const std::chrono::seconds kDesktopHold(2);

// routeFor the run's proxy variables and, in a desktop session, the
// desktop module's answer, asked once wait returns (kDesktopHold at most);
// the wait and the answer take up to the stall limit in all, and end once
// cancelled() says so. Logs the line.
ProxyRoute chooseProxyRoute(const std::string& url, const Settings& settings,
                            const std::function<bool()>& cancelled,
                            const DesktopWait& wait);

// The route of a run's downloads, chosen once, for the first URL asked:
// the archive, its signature and every retry go the same way, and a slow
// desktop resolver is waited for once. Callable from any thread.
class RunProxyRoute {
 public:
  explicit RunProxyRoute(const Settings& settings) : settings_(settings) {}
  ProxyRoute operator()(const std::string& url,
                        const std::function<bool()>& cancelled);
  // Until this is called, a route that needs the desktop's settings waits
  // (see chooseProxyRoute). The window calls it after its first frame: the
  // resolver's modules take the dynamic loader's lock and a core while
  // they load, which the window's start would wait for.
  void allowDesktop();
  // This route as a session takes it; it must outlive the session.
  ProxyRouter router() {
    return [this](const std::string& url,
                  const std::function<bool()>& cancelled) {
      return (*this)(url, cancelled);
    };
  }

 private:
  void waitUntilAllowed(ProxyClock::time_point until,
                        const std::function<bool()>& cancelled);

  const Settings settings_;
  std::mutex mutex_;
  std::optional<ProxyRoute> chosen_;
  std::mutex allowMutex_;
  std::condition_variable allowed_;
  bool desktopAllowed_ = false;
};

#endif
