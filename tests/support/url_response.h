#ifndef BOOTSTRAP_TESTS_SUPPORT_URL_RESPONSE_H_
#define BOOTSTRAP_TESTS_SUPPORT_URL_RESPONSE_H_

#include <string>
#include <utility>
#include <vector>

#include "net/url_session.h"

using Headers = std::vector<std::pair<std::string, std::string>>;

// An answer with status and header fields, for the tables of the rules
// that read answers.
inline UrlResponse answer(long status, Headers headers) {
  UrlResponse response;
  response.statusCode = status;
  response.headerFields = std::move(headers);
  return response;
}

#endif
