#include "net/proxy_route.h"

#include <ctype.h>

#include "common/text.h"

namespace {

bool isSet(const EnvironmentReader& variable, const char* name) {
  const char* value = variable(name);
  return value && *value;
}

// The scheme of url, lower case; empty without one.
std::string schemeOf(const std::string& url) {
  size_t colon = url.find("://");
  if (colon == std::string::npos) return "";
  std::string scheme = url.substr(0, colon);
  for (char& c : scheme)
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return scheme;
}

// libcurl's name for a proxy scheme a resolver answers with; null for
// one it cannot follow.
const char* curlScheme(const std::string& scheme) {
  static const char* const kSame[] = {"http", "https", "socks4", "socks4a",
                                      "socks5h"};
  for (const char* same : kSame)
    if (scheme == same) return same;
  if (scheme == "socks5" || scheme == "socks") return "socks5h";
  return nullptr;
}

// Where the host part of a proxy value or URL starts: after its scheme's
// "://", or at 0 when it has none; a "://" inside a password is no scheme.
size_t afterScheme(const std::string& text) {
  size_t colon = text.find("://");
  if (colon == std::string::npos || colon == 0 ||
      !isalpha(static_cast<unsigned char>(text[0])))
    return 0;
  for (size_t i = 1; i < colon; ++i)
    if (!isalnum(static_cast<unsigned char>(text[i])) && text[i] != '+' &&
        text[i] != '-' && text[i] != '.')
      return 0;
  return colon + 3;
}

// The user information runs to the last '@' after the scheme, so that a
// password holding '/', '#', '?' or '@' of its own is all inside it. *at
// is npos when there is none.
void userInfoSpan(const std::string& text, size_t* from, size_t* at) {
  *from = afterScheme(text);
  *at = text.rfind('@');
  if (*at != std::string::npos && *at < *from) *at = std::string::npos;
}

bool routeFromLine(const std::string& line, ProxyRoute* route) {
  if (line.empty() || hasControlCharacter(line)) return false;
  if (line == "direct://") {
    *route = ProxyRoute{ProxyRoute::Kind::kDirect, ""};
    return true;
  }
  const char* scheme = curlScheme(schemeOf(line));
  size_t rest = line.find("://");
  if (!scheme || rest + 3 == line.size()) return false;
  *route = ProxyRoute{ProxyRoute::Kind::kProxy,
                      std::string(scheme) + line.substr(rest)};
  return true;
}

}  // namespace

bool anyProxyVariable(const EnvironmentReader& variable) {
  for (const char* name :
       {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
    if (isSet(variable, name)) return true;
  return false;
}

std::string proxyVariableFor(const std::string& url,
                             const EnvironmentReader& variable) {
  std::string scheme = schemeOf(url);
  std::string lower = scheme + "_proxy";
  std::string upper = lower;
  for (char& c : upper)
    c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  // http_proxy alone: a CGI program's HTTP_PROXY is a request's header.
  for (const std::string& name :
       {lower, scheme == "http" ? lower : upper, std::string("all_proxy"),
        std::string("ALL_PROXY")})
    if (!scheme.empty() && isSet(variable, name.c_str())) return name;
  return "";
}

bool routeFromResolverAnswer(const std::string& answer, ProxyRoute* route) {
  size_t start = 0;
  for (size_t end; (end = answer.find('\n', start)) != std::string::npos;
       start = end + 1)
    if (routeFromLine(answer.substr(start, end - start), route)) return true;
  return false;
}

std::vector<std::string> credentialsIn(const std::string& proxyOrUrl) {
  size_t from, at;
  userInfoSpan(proxyOrUrl, &from, &at);
  if (at == std::string::npos) return {};
  std::string userInfo = proxyOrUrl.substr(from, at - from);
  size_t colon = userInfo.find(':');
  std::string secret =
      colon == std::string::npos ? userInfo : userInfo.substr(colon + 1);
  if (secret.empty()) return {};
  return {secret};
}

std::string withoutCredentials(const std::string& proxy) {
  size_t from, at;
  userInfoSpan(proxy, &from, &at);
  if (at == std::string::npos) return proxy;
  return proxy.substr(0, from) + proxy.substr(at + 1);
}
