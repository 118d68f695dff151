#include "common/text.h"

#include <gtest/gtest.h>

namespace {

TEST(JoinPath, OneSlashBetween) {
  const struct { const char* dir; const char* name; const char* joined; }
      cases[] = {{"/a/b", "c", "/a/b/c"},
                 {"/a/b/", "c", "/a/b/c"},
                 {"/", ".lock", "/.lock"},
                 {"", "x", "/x"}};
  for (const auto& c : cases)
    EXPECT_EQ(joinPath(c.dir, c.name), c.joined) << c.dir << " + " << c.name;
}

TEST(EndsWith, WholeTailOnly) {
  EXPECT_TRUE(endsWith("Setup.app", ".app"));
  EXPECT_TRUE(endsWith(".app", ".app"));
  EXPECT_TRUE(endsWith("x", ""));
  EXPECT_FALSE(endsWith("app", ".app"));
  EXPECT_FALSE(endsWith("Setup.apps", ".app"));
}

TEST(ParseDecimal, DigitsOnlyAndNeverPastTheLimit) {
  const int64_t max = INT64_MAX;
  const struct { const char* text; int64_t max; bool ok; int64_t value; }
      cases[] = {{"0", 10, true, 0},
                 {"007", 10, true, 7},
                 {"10", 10, true, 10},
                 {"11", 10, false, 0},
                 {"9223372036854775807", max, true, INT64_MAX},
                 {"9223372036854775808", max, false, 0},
                 {"99999999999999999999999", max, false, 0},
                 {"", max, false, 0},
                 {"-1", max, false, 0},
                 {"+1", max, false, 0},
                 {" 1", max, false, 0},
                 {"1 ", max, false, 0},
                 {"1x", max, false, 0}};
  for (const auto& c : cases) {
    int64_t value = -1;
    EXPECT_EQ(parseDecimal(c.text, c.max, &value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(ReadDecimal, StopsAtTheFirstNonDigit) {
  std::string text = "bytes 12-34/*";
  size_t at = 6;
  int64_t value = 0;
  ASSERT_TRUE(readDecimal(text, &at, INT64_MAX, &value));
  EXPECT_EQ(value, 12);
  EXPECT_EQ(at, 8u);
  EXPECT_FALSE(readDecimal(text, &at, INT64_MAX, &value));
  EXPECT_EQ(at, 8u);
}

}  // namespace
