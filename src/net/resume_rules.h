#ifndef BOOTSTRAP_NET_RESUME_RULES_H_
#define BOOTSTRAP_NET_RESUME_RULES_H_

#include <stdint.h>

#include <string>

#include <curl/curl.h>

#include "net/url_session.h"

// The rules of a download's retries and schemes, apart from the transfer:
// which failures are transient, what length a body has, where a redirect
// may lead. Whether bytes held may be gone on from is the delegate's to
// judge (judgeRangeAnswer).

// A status that says "not now" rather than "no": 408, 429 or 5xx.
bool isTransient(long status);

// A failure of the connection that another attempt may not meet.
bool isTransient(CURLcode code);

// The length of the file an answer brings, given the length announced
// (-1 when none): unknown (-1) when the body comes content-encoded, since
// the announced length is then the encoded one.
int64_t fileLength(const UrlResponse& answer, int64_t announced);

// The schemes a download may use at all.
extern const char kWebSchemes[];

// The schemes a redirect from url may lead to: from https, only https, or
// anyone on the way could hand over another agent.
const char* redirectSchemes(const std::string& url);

// The same schemes as libcurl before 7.85 takes them, a bit mask: schemes
// is one of kWebSchemes and what redirectSchemes gives.
long schemeMask(const char* schemes);

// Whether a redirect from url to location would leave https for http.
bool leavesHttps(const std::string& url, const std::string& location);

#endif
