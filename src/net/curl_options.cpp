// libcurl before 7.85 takes the allowed schemes only by the options 7.85
// deprecates; they are used for it alone.
#define CURL_DISABLE_DEPRECATION
#include "net/curl_options.h"

#include <vector>

#include "net/resume_rules.h"

namespace {

// By name where libcurl knows the option (7.85 and later), else as the bit
// mask older ones take: Ubuntu 22.04 ships 7.81.
bool limit(CURL* easy, CURLoption byName, CURLoption byMask,
           const char* schemes) {
  CURLcode code = curl_easy_setopt(easy, byName, schemes);
  if (code != CURLE_UNKNOWN_OPTION) return code == CURLE_OK;
  return curl_easy_setopt(easy, byMask, schemeMask(schemes)) == CURLE_OK;
}

}  // namespace

bool setRoute(CURL* easy, const ProxyRoute& route) {
  if (route.emptyUser &&
      curl_easy_setopt(easy, CURLOPT_PROXYUSERPWD, ":") != CURLE_OK)
    return false;
  if (route.kind == ProxyRoute::Kind::kEnvironment) return true;
  const char* proxy =
      route.kind == ProxyRoute::Kind::kProxy ? route.proxy.c_str() : "";
  return curl_easy_setopt(easy, CURLOPT_PROXY, proxy) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_NOPROXY, "") == CURLE_OK;
}

bool setTrust(CURL* easy, const TrustStore& trust) {
  if (!trust.bundleFile.empty() &&
      curl_easy_setopt(easy, CURLOPT_CAINFO, trust.bundleFile.c_str()) !=
          CURLE_OK)
    return false;
  return trust.directory.empty() ||
         curl_easy_setopt(easy, CURLOPT_CAPATH, trust.directory.c_str()) ==
             CURLE_OK;
}

bool limitSchemes(CURL* easy, const std::string& url) {
  return limit(easy, CURLOPT_PROTOCOLS_STR, CURLOPT_PROTOCOLS, kWebSchemes) &&
         limit(easy, CURLOPT_REDIR_PROTOCOLS_STR, CURLOPT_REDIR_PROTOCOLS,
               redirectSchemes(url));
}

curl_slist* requestHeaders(const std::string& ifNoneMatch, int64_t from,
                           const std::string& validator) {
  std::vector<std::string> headers = {"Cache-Control: no-cache",
                                      "Pragma: no-cache"};
  if (!ifNoneMatch.empty()) headers.push_back("If-None-Match: " + ifNoneMatch);
  if (from > 0 && !validator.empty()) {
    headers.push_back("Range: bytes=" + std::to_string(from) + "-");
    headers.push_back("If-Range: " + validator);
  }
  curl_slist* list = nullptr;
  for (const std::string& header : headers) {
    curl_slist* longer = curl_slist_append(list, header.c_str());
    if (!longer) {
      curl_slist_free_all(list);
      return nullptr;
    }
    list = longer;
  }
  return list;
}
