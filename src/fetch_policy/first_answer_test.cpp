#include "fetch_policy/first_answer.h"

#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "support/url_response.h"

namespace {

TEST(FirstAnswer, OnlyAConfirmedEtagReusesOnlyTheArchiveIsTaken) {
  using A = AnswerAction;
  const std::string tooLong = "\"" + std::string(8192, 'x') + "\"";
  const struct {
    const char* name;
    long status;
    Headers headers;
    bool resumed;
    const char* sent;
    bool cacheUsable;
    A action;
    const char* validation;  // to confirm, with kReuseCached
    const char* failure;     // shown when refused or not confirmed
  } cases[] = {
      {"new archive", 200, {{"ETag", "\"v2\""}}, false, "\"v1\"", true,
       A::kReuseCached, "\"v2\"", ""},
      {"no ETag", 200, {}, false, "", true, A::kDownload, "", ""},
      {"ETag past the marker", 200, {{"ETag", tooLong}}, false, "", true,
       A::kDownload, "", ""},
      {"cache not usable", 200, {{"ETag", "\"v1\""}}, false, "", false,
       A::kDownload, "", ""},
      {"not modified", 304, {}, false, "\"v1\"", true, A::kReuseCached,
       "\"v1\"", "Download failed with error code 304"},
      {"304 to nothing sent", 304, {}, false, "", true, A::kRefuse, "",
       "Download failed with error code 304"},
      {"the rest", 206, {{"ETag", "\"v1\""}}, true, "", true,
       A::kReuseCached, "\"v1\"", ""},
      {"206 unasked", 206, {}, false, "", true, A::kRefuse, "",
       "Download failed with error code 206"},
      {"200 to a resume", 200, {}, true, "", true, A::kRefuse, "",
       "Download failed with error code 200"},
      {"201", 201, {}, false, "", true, A::kRefuse, "",
       "Download failed with error code 201"},
      {"proxy", 407, {}, false, "", true, A::kRefuse, "",
       "The network's proxy asks for a user name and password"},
  };
  for (const auto& c : cases) {
    AnswerJudgement judged = judgeFirstAnswer(answer(c.status, c.headers),
                                              c.resumed, c.sent,
                                              c.cacheUsable);
    EXPECT_EQ(judged.action, c.action) << c.name;
    EXPECT_EQ(judged.validationString, c.validation) << c.name;
    EXPECT_EQ(judged.failureText.compare(0, strlen(c.failure), c.failure), 0)
        << c.name << ": " << judged.failureText;
    EXPECT_EQ(judged.failureText.empty(), !*c.failure) << c.name;
  }
}

TEST(FirstAnswer, TheStampIsAnEtagThatFitsTheMarker) {
  std::string why;
  EXPECT_EQ(stampFor(answer(200, {{"ETag", "\"v1\""}}), &why), "\"v1\"");
  EXPECT_EQ(stampFor(answer(200, {}), &why), "");
  EXPECT_EQ(why, "");
  EXPECT_EQ(stampFor(answer(200, {{"ETag", std::string(8193, 'x')}}), &why),
            "");
  EXPECT_NE(why.find("ETag of 8193 bytes"), std::string::npos) << why;
}

}  // namespace
