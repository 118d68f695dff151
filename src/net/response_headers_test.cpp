#include "net/response_headers.h"

#include <string.h>

#include <gtest/gtest.h>

namespace {

UrlResponse responseOf(const std::vector<std::string>& lines) {
  UrlResponse response;
  for (const std::string& line : lines)
    addHeaderLine(line.data(), line.size(), &response);
  return response;
}

TEST(AddHeaderLine, KeepsTheFieldsOfTheLastResponse) {
  UrlResponse response = responseOf(
      {"HTTP/1.1 302 Found\r\n", "Location: /b\r\n", "ETag: \"old\"\r\n",
       "\r\n", "HTTP/1.1 200 OK\r\n", "ETag:   \"a b\"  \r\n",
       "X-Empty:\r\n", "no colon here\r\n", "Odd: x: y\r\n"});
  std::string value;
  EXPECT_FALSE(response.headerField("Location", nullptr));
  ASSERT_TRUE(response.headerField("etag", &value));
  EXPECT_EQ(value, "\"a b\"");
  ASSERT_TRUE(response.headerField("x-empty", &value));
  EXPECT_EQ(value, "");
  ASSERT_TRUE(response.headerField("ODD", &value));
  EXPECT_EQ(value, "x: y");
  EXPECT_EQ(response.headerFields.size(), 3u);
}

TEST(HeaderField, ComparesTheWholeNameIgnoringAsciiCase) {
  UrlResponse response =
      responseOf({"Etag: \"b\"\r\n", std::string("ETag\0x: \"a\"\r\n", 13)});
  std::string value;
  EXPECT_FALSE(response.headerField(std::string("ETag\0y", 6), &value));
  ASSERT_TRUE(response.headerField(std::string("etag\0X", 6), &value));
  EXPECT_EQ(value, "\"a\"");
  ASSERT_TRUE(response.headerField("ETAG", &value));
  EXPECT_EQ(value, "\"b\"");
}

TEST(RetryAfterSeconds, ReadsSecondsAndDates) {
  const time_t now = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  const struct {
    const char* value;
    bool ok;
    int64_t seconds;
  } cases[] = {
      {"0", true, 0},
      {"120", true, 120},
      {"Sun, 06 Nov 1994 08:50:07 GMT", true, 30},
      {"Sun, 06 Nov 1994 08:49:37 GMT", true, 0},
      {"Sat, 05 Nov 1994 08:49:37 GMT", true, 0},  // past: now
      {"Mon, 07 Nov 1994 08:49:37 GMT", true, 86400},
      {"", false, 0},
      {"-5", false, 0},
      {"1.5", false, 0},
      {" 10", false, 0},
      {"99999999999999999999", false, 0},
      {"Sun, 06 Nov 1994 08:49:37 UTC", false, 0},
      {"Sun, 06 Foo 1994 08:49:37 GMT", false, 0},
      {"Sun, 32 Nov 1994 08:49:37 GMT", false, 0},
      {"Sun, 06 Nov 1994 24:00:00 GMT", false, 0},
      {"Sunday, 06-Nov-94 08:49:37 GMT", false, 0},
  };
  for (const auto& c : cases) {
    int64_t seconds = -1;
    EXPECT_EQ(retryAfterSeconds(c.value, now, &seconds), c.ok) << c.value;
    if (!c.ok) continue;
    EXPECT_EQ(seconds, c.seconds) << c.value;
  }
}

TEST(ContentRange, AcceptsOnlyWellFormedRanges) {
  const struct {
    const char* value;
    bool ok;
    int64_t first, last, complete;
  } cases[] = {
      {"bytes 100-199/200", true, 100, 199, 200},
      {"bytes 0-0/1", true, 0, 0, 1},
      {"bytes 5-9/*", true, 5, 9, -1},
      {"bytes 100-149/200", true, 100, 149, 200},  // short of the end
      {"bytes 100-199/150", false, 0, 0, 0},  // past the end
      {"bytes 200-100/300", false, 0, 0, 0},
      {"bytes */200", false, 0, 0, 0},        // an unsatisfied range
      {"bytes 1-2/3 ", false, 0, 0, 0},
      {"items 1-2/3", false, 0, 0, 0},
      {"bytes -1-2/3", false, 0, 0, 0},
      {"bytes 1-2", false, 0, 0, 0},
      {"bytes 1-", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    int64_t first = -7, last = -7, complete = -7;
    EXPECT_EQ(contentRange(c.value, &first, &last, &complete), c.ok)
        << c.value;
    if (!c.ok) continue;
    EXPECT_EQ(first, c.first) << c.value;
    EXPECT_EQ(last, c.last) << c.value;
    EXPECT_EQ(complete, c.complete) << c.value;
  }
}

TEST(IsStrongEntityTag, RefusesWeakAndMalformedTags) {
  EXPECT_TRUE(isStrongEntityTag("\"abc\""));
  EXPECT_TRUE(isStrongEntityTag("\"\""));
  EXPECT_TRUE(isStrongEntityTag("\"5f2a-\x80\xff\""));
  EXPECT_FALSE(isStrongEntityTag("W/\"abc\""));
  // Nothing that could break the If-Range header it is sent back in.
  for (const char* bad :
       {"\"a b\"", "\"a\rb\"", "\"a\"b\"", "\"\t\"", "\"\x7f\""})
    EXPECT_FALSE(isStrongEntityTag(bad)) << bad;
  EXPECT_FALSE(isStrongEntityTag("abc"));
  EXPECT_FALSE(isStrongEntityTag("\""));
  EXPECT_FALSE(isStrongEntityTag(""));
}

}  // namespace
