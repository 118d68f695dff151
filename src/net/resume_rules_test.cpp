#include "net/resume_rules.h"

#include <stdint.h>

#include <string>

#include <gtest/gtest.h>

#include "support/url_response.h"

namespace {

TEST(ResumeRules, OnlyNotNowIsTransient) {
  const struct {
    long status;
    bool transient;
  } statuses[] = {
      {200, false}, {206, false}, {304, false}, {403, false}, {404, false},
      {407, false}, {408, true},  {409, false}, {428, false}, {429, true},
      {430, false}, {499, false}, {500, true},  {503, true},  {599, true},
      {600, false},
  };
  for (const auto& c : statuses)
    EXPECT_EQ(isTransient(c.status), c.transient) << c.status;

  const struct {
    CURLcode code;
    bool transient;
  } codes[] = {
      {CURLE_COULDNT_CONNECT, true},      // refused
      {CURLE_RECV_ERROR, true},           // reset
      {CURLE_PARTIAL_FILE, true},         // a cut body
      {CURLE_GOT_NOTHING, true},
      {CURLE_OPERATION_TIMEDOUT, true},   // no connection within the limit
      {CURLE_HTTP2_STREAM, true},
      {CURLE_COULDNT_RESOLVE_HOST, false},
      {CURLE_PEER_FAILED_VERIFICATION, false},
      {CURLE_UNSUPPORTED_PROTOCOL, false},
      {CURLE_TOO_MANY_REDIRECTS, false},
      {CURLE_URL_MALFORMAT, false},
      {CURLE_OUT_OF_MEMORY, false},       // also a header line too long
  };
  for (const auto& c : codes)
    EXPECT_EQ(isTransient(c.code), c.transient) << curl_easy_strerror(c.code);
}

// The announced length and a range are of the encoded bytes, not the file.
TEST(ResumeRules, AnEncodedAnswerHasNoFileLength) {
  const struct {
    const char* coding;  // null: no Content-Encoding
    bool encoded;
  } cases[] = {
      {nullptr, false}, {"", false},     {"identity", false},
      {"IDENTITY", false}, {"gzip", true}, {"br", true},
  };
  for (const auto& c : cases) {
    Headers headers = {{"ETag", "\"v1\""}};
    if (c.coding) headers.emplace_back("Content-Encoding", c.coding);
    const UrlResponse whole = answer(200, headers);
    const char* name = c.coding ? c.coding : "(none)";
    EXPECT_EQ(fileLength(whole, 1000), c.encoded ? -1 : 1000) << name;
    EXPECT_EQ(fileLength(whole, -1), -1) << name;
  }
}

TEST(ResumeRules, ARedirectFromHttpsStaysOnHttps) {
  const struct {
    const char* url;
    const char* schemes;
    const char* location;
    bool leaves;
  } cases[] = {
      {"https://a/x", "https", "http://b/x", true},
      {"HTTPS://a/x", "https", "HTTP://b/x", true},
      {"https://a/x", "https", "https://b/x", false},
      {"https://a/x", "https", "/x", false},
      {"http://a/x", "http,https", "http://b/x", false},
      {"http://a/x", "http,https", "https://b/x", false},
      {"httpsx://a/x", "http,https", "http://b/x", false},
      {"https", "http,https", "http://b/x", false},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(redirectSchemes(c.url), c.schemes) << c.url;
    EXPECT_EQ(leavesHttps(c.url, c.location), c.leaves)
        << c.url << " to " << c.location;
  }
}

// An https download must not be redirected to http by an older libcurl
// either.
TEST(ResumeRules, AnOlderLibcurlGetsTheSameSchemesAsABitMask) {
  EXPECT_EQ(schemeMask(kWebSchemes), CURLPROTO_HTTP | CURLPROTO_HTTPS);
  EXPECT_EQ(schemeMask(redirectSchemes("https://a/x")), CURLPROTO_HTTPS);
}

}  // namespace
