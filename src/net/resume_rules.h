#ifndef BOOTSTRAP_NET_RESUME_RULES_H_
#define BOOTSTRAP_NET_RESUME_RULES_H_

#include <stdint.h>

#include <string>

#include <curl/curl.h>

#include "net/url_session.h"

// The rules of a download's retries, apart from the transfer: which
// failures are transient, when a body may be resumed and what the answer
// to a retry means. Each is a function of what the server said and what
// the file holds.

// A status that says "not now" rather than "no": 408, 429 or 5xx.
bool isTransient(long status);

// A failure of the connection that another attempt may not meet.
bool isTransient(CURLcode code);

// The length of the file an answer brings, given the length announced
// (-1 when none): unknown (-1) when the body comes content-encoded, since
// the announced length is then the encoded one.
int64_t fileLength(const UrlResponse& answer, int64_t announced);

// What If-Range may carry so that a resumed body is the same archive: a
// strong entity tag, else the modification date; empty when neither, or
// when the answer is no 200 or comes content-encoded (a range of encoded
// bytes is no range of the file). Empty: a retry starts over.
std::string resumeValidator(const UrlResponse& answer);

// What the answer to a retry means once `held` bytes of the body are in
// the file; wholeLength is the file's length as the answer those bytes
// came with announced it, -1 when unknown.
enum class RetryAnswer {
  kContinue,   // a 206 with the rest, from where the file stopped
  kStartOver,  // a 200: a whole body, perhaps of another archive by now
  kMisplaced,  // a 206 elsewhere: worth a retry that asks for the whole
  kRefuse,     // any other status: no retry helps
};
RetryAnswer retryAnswer(const UrlResponse& answer, int64_t held,
                        int64_t wholeLength);

// What the first answer to a request for the rest of `held` bytes that an
// earlier transfer left means: kContinue and kMisplaced as above; a
// transient failure status, or a proxy's demand for credentials (407), is
// kRefuse, those bytes being worth another try; anything else is
// kStartOver, to be taken as a first answer (a 200, a 304 to
// If-None-Match, a refusal).
RetryAnswer resumedAnswer(const UrlResponse& answer, int64_t held,
                          int64_t wholeLength);

// Whether a 206 goes on at byte `held` of the same whole: its Content-Range
// starts there and names no other complete length than wholeLength, where
// both are known.
bool resumesWhereItStopped(const UrlResponse& answer, int64_t held,
                           int64_t wholeLength);

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
