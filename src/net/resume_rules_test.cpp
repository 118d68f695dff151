#include "net/resume_rules.h"

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

UrlResponse answer(long status, Headers headers) {
  UrlResponse response;
  response.statusCode = status;
  response.headerFields = std::move(headers);
  return response;
}

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

TEST(ResumeRules, IfRangeCarriesAStrongTagElseTheDateOfAWholeAnswer) {
  const std::string date = "Sun, 06 Nov 1994 08:49:37 GMT";
  const struct {
    const char* name;
    long status;
    Headers headers;
    std::string validator;
  } cases[] = {
      {"strong tag", 200, {{"ETag", "\"v1\""}}, "\"v1\""},
      {"tag before date", 200,
       {{"Last-Modified", date}, {"ETag", "\"v1\""}}, "\"v1\""},
      {"date", 200, {{"Last-Modified", date}}, date},
      {"weak tag", 200, {{"ETag", "W/\"v1\""}}, ""},
      {"weak tag and date", 200,
       {{"ETag", "W/\"v1\""}, {"Last-Modified", date}}, date},
      {"malformed tag", 200, {{"ETag", "\"a b\""}}, ""},
      {"nothing", 200, {}, ""},
      {"a part", 206, {{"ETag", "\"v1\""}}, ""},
      {"not found", 404, {{"ETag", "\"v1\""}}, ""},
      {"not modified", 304, {{"ETag", "\"v1\""}}, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(resumeValidator(answer(c.status, c.headers)), c.validator)
        << c.name;
}

// The announced length and a range are of the encoded bytes, not the file.
TEST(ResumeRules, AnEncodedAnswerHasNoFileLengthAndIsNeverResumed) {
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
    EXPECT_EQ(resumeValidator(whole), c.encoded ? "" : "\"v1\"") << name;
  }
}

TEST(ResumeRules, APartResumesOnlyWhereTheFileStopped) {
  const struct {
    const char* range;  // null: no Content-Range
    int64_t held, wholeLength;
    bool resumes;
  } cases[] = {
      {"bytes 300-999/1000", 300, 1000, true},
      {"bytes 300-999/*", 300, 1000, true},
      {"bytes 300-999/1000", 300, -1, true},
      {"bytes 300-1999/2000", 300, -1, true},
      {"bytes 300-1999/2000", 300, 1000, false},  // another archive
      {"bytes 0-999/1000", 300, 1000, false},
      {"bytes 299-999/1000", 300, 1000, false},
      {"bytes 301-999/1000", 300, 1000, false},
      {"bytes 300-999", 300, 1000, false},
      {"bytes */1000", 300, 1000, false},
      {nullptr, 300, 1000, false},
  };
  for (const auto& c : cases) {
    Headers headers;
    if (c.range) headers.emplace_back("content-range", c.range);
    EXPECT_EQ(resumesWhereItStopped(answer(206, headers), c.held,
                                    c.wholeLength),
              c.resumes)
        << (c.range ? c.range : "(none)") << " held " << c.held << " of "
        << c.wholeLength;
  }
}

// Within a run, a retry's answer; across runs, the first answer to a
// request for the rest of what an earlier run left.
TEST(ResumeRules, TheAnswerToARequestForTheRestContinuesStartsOverOrIsRefused) {
  const Headers rest = {{"Content-Range", "bytes 300-999/1000"}};
  const Headers elsewhere = {{"Content-Range", "bytes 0-999/1000"}};
  const struct {
    long status;
    Headers headers;
    RetryAnswer toRetry;
    RetryAnswer toResumed;
  } cases[] = {
      {206, rest, RetryAnswer::kContinue, RetryAnswer::kContinue},
      {206, elsewhere, RetryAnswer::kMisplaced, RetryAnswer::kMisplaced},
      {206, {}, RetryAnswer::kMisplaced, RetryAnswer::kMisplaced},
      {200, {}, RetryAnswer::kStartOver, RetryAnswer::kStartOver},
      {200, rest, RetryAnswer::kStartOver, RetryAnswer::kStartOver},
      {304, {}, RetryAnswer::kRefuse, RetryAnswer::kStartOver},
      {404, {}, RetryAnswer::kRefuse, RetryAnswer::kStartOver},
      {416, {}, RetryAnswer::kRefuse, RetryAnswer::kStartOver},
      // The last attempt's answer: the bytes held are kept for later.
      {503, rest, RetryAnswer::kRefuse, RetryAnswer::kRefuse},
      {429, {}, RetryAnswer::kRefuse, RetryAnswer::kRefuse},
      {407, {}, RetryAnswer::kRefuse, RetryAnswer::kRefuse},  // credentials
  };
  for (const auto& c : cases) {
    const UrlResponse a = answer(c.status, c.headers);
    const char* range = c.headers.empty() ? "" : " with a range";
    EXPECT_EQ(retryAnswer(a, 300, 1000), c.toRetry) << c.status << range;
    EXPECT_EQ(resumedAnswer(a, 300, 1000), c.toResumed) << c.status << range;
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
