#ifndef BOOTSTRAP_NET_CURL_OPTIONS_H_
#define BOOTSTRAP_NET_CURL_OPTIONS_H_

#include <stdint.h>

#include <string>

#include <curl/curl.h>

#include "net/proxy_route.h"
#include "net/session_settings.h"

// The libcurl options of a download's requests that do not depend on the
// transfer's own state: each false when libcurl refuses one.

// The way the requests go. A route of the session's own overrides the
// proxy variables, no_proxy included: a desktop's resolver has applied its
// own ignored hosts.
bool setRoute(CURL* easy, const ProxyRoute& route);

// Whom HTTPS trusts, where the store names files; verification stays on.
bool setTrust(CURL* easy, const TrustStore& trust);

// Never file:, ftp: or the like, not even where a redirect from url points.
bool limitSchemes(CURL* easy, const std::string& url);

// The request's header lines: always that caches on the way check with the
// server rather than answer from a stale copy (Pragma for HTTP/1.0 ones);
// ifNoneMatch, if not empty; and with a validator, a request for the bytes
// from byte `from` on, if they are still of the same archive. Null when
// the list cannot be made.
curl_slist* requestHeaders(const std::string& ifNoneMatch, int64_t from,
                           const std::string& validator);

#endif
