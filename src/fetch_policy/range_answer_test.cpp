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
  const Headers rest = {{"ETag", "\"v1\""},
                        {"Content-Range", "bytes 300-999/1000"}};
  const struct {
    const char* name;
    long status;
    Headers headers;
    const char* validator;
    V inRun, acrossRuns;
  } cases[] = {
      {"the rest", 206, rest, "\"v1\"", V::kContinue, V::kContinue},
      {"the rest, length unsaid", 206,
       {{"ETag", "\"v1\""}, {"Content-Range", "bytes 300-999/*"}}, "\"v1\"",
       V::kContinue, V::kContinue},
      // A server that ignores If-Range, for a changed archive of one length.
      {"another tag", 206,
       {{"ETag", "\"v2\""}, {"Content-Range", "bytes 300-999/1000"}},
       "\"v1\"", V::kRestart, V::kRestart},
      {"no tag", 206, {{"Content-Range", "bytes 300-999/1000"}}, "\"v1\"",
       V::kRestart, V::kRestart},
      {"weak tag", 206,
       {{"ETag", "W/\"v1\""}, {"Content-Range", "bytes 300-999/1000"}},
       "\"v1\"", V::kRestart, V::kRestart},
      {"the same date", 206,
       {{"Last-Modified", kDate}, {"Content-Range", "bytes 300-999/1000"}},
       kDate, V::kContinue, V::kContinue},
      {"another date", 206,
       {{"Last-Modified", "Mon, 07 Nov 1994 08:49:37 GMT"},
        {"Content-Range", "bytes 300-999/1000"}},
       kDate, V::kRestart, V::kRestart},
      {"short of the end", 206,
       {{"ETag", "\"v1\""}, {"Content-Range", "bytes 300-599/1000"}},
       "\"v1\"", V::kRestart, V::kRestart},
      {"elsewhere", 206,
       {{"ETag", "\"v1\""}, {"Content-Range", "bytes 0-999/1000"}}, "\"v1\"",
       V::kRestart, V::kRestart},
      {"another length", 206,
       {{"ETag", "\"v1\""}, {"Content-Range", "bytes 300-1999/2000"}},
       "\"v1\"", V::kRestart, V::kRestart},
      {"no range", 206, {{"ETag", "\"v1\""}}, "\"v1\"", V::kRestart,
       V::kRestart},
      {"unsatisfiable", 416, {}, "\"v1\"", V::kRestart, V::kRestart},
      {"whole again", 200, {{"ETag", "\"v1\""}}, "\"v1\"", V::kStartOver,
       V::kStartOver},
      {"whole, changed", 200, {{"ETag", "\"v2\""}}, "\"v1\"", V::kStartOver,
       V::kStartOver},
      {"not modified", 304, {}, "\"v1\"", V::kRefuse, V::kStartOver},
      {"not found", 404, {}, "\"v1\"", V::kRefuse, V::kStartOver},
      // Another try may bring the rest: the bytes held are kept.
      {"unavailable", 503, rest, "\"v1\"", V::kRefuse, V::kRefuse},
      {"too many", 429, {}, "\"v1\"", V::kRefuse, V::kRefuse},
      {"proxy credentials", 407, {}, "\"v1\"", V::kRefuse, V::kRefuse},
  };
  for (const auto& c : cases) {
    const UrlResponse a = answer(c.status, c.headers);
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
