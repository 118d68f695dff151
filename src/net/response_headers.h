#ifndef BOOTSTRAP_NET_RESPONSE_HEADERS_H_
#define BOOTSTRAP_NET_RESPONSE_HEADERS_H_

#include <stddef.h>
#include <stdint.h>
#include <time.h>

#include <string>

#include "net/url_session.h"

// What the session reads out of a response's header, apart from libcurl.

// Takes one raw header line as it came off the wire (CRLF included or
// not): a status line starts the fields over (each response of a redirect
// chain, or of a retry, has its own), a "name: value" line adds a field
// with both parts trimmed, anything else is ignored.
void addHeaderLine(const char* data, size_t length, UrlResponse* response);

// The wait a Retry-After value asks for, in seconds from now: a decimal
// number of seconds, or an HTTP date (IMF-fixdate, "Sun, 06 Nov 1994
// 08:49:37 GMT"); a date in the past gives 0. False for anything else.
bool retryAfterSeconds(const std::string& value, time_t now, int64_t* seconds);

// The byte positions of a Content-Range value "bytes FIRST-LAST/SIZE"
// (SIZE may be "*"), and SIZE or -1 when unknown. False unless the value is
// well formed with FIRST <= LAST < SIZE.
bool contentRange(const std::string& value, int64_t* first, int64_t* last,
                  int64_t* completeLength);

// True when the body comes in a content coding (gzip, say) rather than as
// the file itself: a Content-Encoding other than identity.
bool isContentEncoded(const UrlResponse& response);

// True for an entity tag that If-Range may carry: a strong one, "..." not
// W/"...", with no blank, control byte or quote between its quotes.
bool isStrongEntityTag(const std::string& tag);

#endif
