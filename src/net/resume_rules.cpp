#include "net/resume_rules.h"

#include <string.h>
#include <strings.h>

#include "net/response_headers.h"

namespace {

bool hasScheme(const std::string& url, const char* scheme) {
  const size_t length = strlen(scheme);
  return strncasecmp(url.c_str(), scheme, length) == 0 && url[length] == ':';
}

}  // namespace

const char kWebSchemes[] = "http,https";

bool isTransient(long status) {
  return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

bool isTransient(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return true;
    default:
      return false;
  }
}

int64_t fileLength(const UrlResponse& answer, int64_t announced) {
  return isContentEncoded(answer) ? -1 : announced;
}

const char* redirectSchemes(const std::string& url) {
  return hasScheme(url, "https") ? "https" : kWebSchemes;
}

long schemeMask(const char* schemes) {
  return strcmp(schemes, "https") == 0 ? CURLPROTO_HTTPS
                                       : CURLPROTO_HTTP | CURLPROTO_HTTPS;
}

bool leavesHttps(const std::string& url, const std::string& location) {
  return hasScheme(url, "https") && hasScheme(location, "http");
}
