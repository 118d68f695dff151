#ifndef BOOTSTRAP_NET_PROXY_ROUTE_H_
#define BOOTSTRAP_NET_PROXY_ROUTE_H_

#include <functional>
#include <string>
#include <vector>

// Which way a task's requests go, chosen once for its URL before the first
// of them.
struct ProxyRoute {
  enum class Kind {
    kEnvironment,  // libcurl's own reading of the proxy variables
    kDirect,       // no proxy, whatever the variables say
    kProxy,        // through proxy, the desktop's ignored hosts applied
  };
  Kind kind = Kind::kEnvironment;
  std::string proxy;  // with kProxy: a URL libcurl takes as a proxy
  // The proxy's URL names no user: libcurl is given an empty user name,
  // which lets it answer Negotiate with the user's Kerberos ticket. It has
  // nothing to answer other schemes with either way.
  bool emptyUser = false;
};

// Called on the session's worker with the task's URL; it may take a while
// (a desktop's automatic configuration), but never without end, and should
// give up soon once cancelled() says the task is cancelled.
using ProxyRouter = std::function<ProxyRoute(
    const std::string& url, const std::function<bool()>& cancelled)>;

// Reads one environment variable: its value, or null when it is unset.
using EnvironmentReader = std::function<const char*(const char* name)>;

// Whether any variable that libcurl takes a proxy from is set and not
// empty: http_proxy, https_proxy, HTTPS_PROXY, all_proxy or ALL_PROXY
// (libcurl ignores HTTP_PROXY).
bool anyProxyVariable(const EnvironmentReader& variable);

// The variable libcurl takes url's proxy from, in its order (the scheme's
// own, then all_proxy, ALL_PROXY); empty when none is set. no_proxy may
// still exempt the host.
std::string proxyVariableFor(const std::string& url,
                             const EnvironmentReader& variable);

// The route a proxy resolver's answer gives: the first of its lines (each
// ending in a newline) that libcurl can follow, "direct://" meaning none.
// SOCKS5 goes as socks5h, so that the proxy looks up the host's name, as a
// desktop's own clients do. False when no line is of use.
bool routeFromResolverAnswer(const std::string& answer, ProxyRoute* route);

// The secrets a proxy value or URL carries, as written, whatever its form
// (scheme or none, raw '/', '#', '?' or '@' in the password): its password,
// or its user when it has no password, as that may be a token; none when
// it names no user. Their percent-encoded forms are the log's to hide.
std::vector<std::string> credentialsIn(const std::string& proxyOrUrl);

// proxy (a URL, or host:port) without the user name and password it may
// carry, read as above, fit for a log line.
std::string withoutCredentials(const std::string& proxy);

#endif
