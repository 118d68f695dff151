#include "fetch_policy/range_answer.h"

#include <stdint.h>

#include <string>

#include <gtest/gtest.h>

#include "support/url_response.h"

namespace {

const char kDate[] = "Sun, 06 Nov 1994 08:49:37 GMT";

TEST(RangeAnswer, IfRangeCarriesAStrongTagElseTheDateOfAnAnswerWithoutTag) {
  const struct {
    const char* name;
    long status;
    Headers headers;
    std::string validator;
  } cases[] = {
      {"strong tag", 200, {{"ETag", "\"v1\""}}, "\"v1\""},
      {"tag before date", 200, {{"Last-Modified", kDate}, {"ETag", "\"v1\""}},
       "\"v1\""},
      {"date", 200, {{"Last-Modified", kDate}}, kDate},
      {"weak tag", 200, {{"ETag", "W/\"v1\""}}, ""},
      // A weak tag says the bytes may differ: its date vouches for no more.
      {"weak tag and date", 200,
       {{"ETag", "W/\"v1\""}, {"Last-Modified", kDate}}, ""},
      {"malformed tag", 200, {{"ETag", "\"a b\""}}, ""},
      {"encoded", 200, {{"ETag", "\"v1\""}, {"Content-Encoding", "gzip"}}, ""},
      {"nothing", 200, {}, ""},
      {"a part", 206, {{"ETag", "\"v1\""}}, ""},
      {"not found", 404, {{"ETag", "\"v1\""}}, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(resumeValidator(answer(c.status, c.headers)), c.validator)
        << c.name;
}

// 300 of 1000 bytes held, vouched for by "v1" (or a date); within a run
// (after a cut) and across runs (an earlier run's bytes).
TEST(RangeAnswer, OnlyAVouchedRestIsSplicedAnythingElseStartsOver) {
  using V = RangeVerdict;
  const char* v1 = "\"v1\"";
  const char* rest = "bytes 300-999/1000";
  const struct {
    const char* name;
    long status;
    const char *etag, *date, *range;  // the answer's, if any
    const char* validator;            // sent as If-Range
    V inRun, acrossRuns;
  } cases[] = {
      {"the rest", 206, v1, nullptr, rest, v1, V::kContinue, V::kContinue},
      {"length unsaid", 206, v1, nullptr, "bytes 300-999/*", v1, V::kContinue,
       V::kContinue},
      // A server that ignores If-Range, for a changed archive of one length.
      {"another tag", 206, "\"v2\"", nullptr, rest, v1, V::kRestart,
       V::kRestart},
      {"no tag", 206, nullptr, nullptr, rest, v1, V::kRestart, V::kRestart},
      {"weak tag", 206, "W/\"v1\"", nullptr, rest, v1, V::kRestart,
       V::kRestart},
      {"same date", 206, nullptr, kDate, rest, kDate, V::kContinue,
       V::kContinue},
      {"another date", 206, nullptr, "Mon, 07 Nov 1994 08:49:37 GMT", rest,
       kDate, V::kRestart, V::kRestart},
      {"short of the end", 206, v1, nullptr, "bytes 300-599/1000", v1,
       V::kRestart, V::kRestart},
      {"elsewhere", 206, v1, nullptr, "bytes 0-999/1000", v1, V::kRestart,
       V::kRestart},
      {"another length", 206, v1, nullptr, "bytes 300-1999/2000", v1,
       V::kRestart, V::kRestart},
      {"no range", 206, v1, nullptr, nullptr, v1, V::kRestart, V::kRestart},
      {"unsatisfiable", 416, nullptr, nullptr, nullptr, v1, V::kRestart,
       V::kRestart},
      {"whole again", 200, v1, nullptr, nullptr, v1, V::kStartOver,
       V::kStartOver},
      {"not modified", 304, nullptr, nullptr, nullptr, v1, V::kRefuse,
       V::kStartOver},
      {"not found", 404, nullptr, nullptr, nullptr, v1, V::kRefuse,
       V::kStartOver},
      // Another try may bring the rest: the bytes held are kept.
      {"unavailable", 503, v1, nullptr, rest, v1, V::kRefuse, V::kRefuse},
      {"too many", 429, nullptr, nullptr, nullptr, v1, V::kRefuse, V::kRefuse},
      {"proxy credentials", 407, nullptr, nullptr, nullptr, v1, V::kRefuse,
       V::kRefuse},
  };
  for (const auto& c : cases) {
    Headers headers;
    if (c.etag) headers.emplace_back("ETag", c.etag);
    if (c.date) headers.emplace_back("Last-Modified", c.date);
    if (c.range) headers.emplace_back("Content-Range", c.range);
    const UrlResponse a = answer(c.status, headers);
    RangeRequest asked{300, c.validator, 1000, false};
    RangeJudgement inRun = judgeRangeAnswer(a, asked);
    EXPECT_EQ(inRun.verdict, c.inRun) << c.name;
    asked.earlier = true;
    EXPECT_EQ(judgeRangeAnswer(a, asked).verdict, c.acrossRuns) << c.name;
    // Whenever the bytes held go, a line says why.
    bool startsOver = inRun.verdict == V::kRestart ||
                      inRun.verdict == V::kStartOver;
    EXPECT_EQ(inRun.why.find("the download starts over") != std::string::npos,
              startsOver)
        << c.name << ": " << inRun.why;
  }
}

// Why a whole archive came where its rest was asked for.
TEST(RangeAnswer, TheLineSaysWhyAWholeArchiveCame) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"v1\"", "(the server does not send parts of it)"},
      {"\"v0\"", "(the archive changed on the server)"},
      {"", "(nothing vouched that the bytes received would come again)"}};
  for (const auto& c : cases)
    EXPECT_NE(judgeRangeAnswer(answer(200, {{"ETag", "\"v1\""}}),
                               {300, c.first, 1000})
                  .why.find(std::string("from byte 300 ") + c.second),
              std::string::npos)
        << c.second;
  // Nothing held after a restart: a whole body is no news.
  EXPECT_EQ(judgeRangeAnswer(answer(200, {}), {0, "", -1}).why, "");
}

}  // namespace
