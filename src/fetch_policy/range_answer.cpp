#include "fetch_policy/range_answer.h"

#include <stdint.h>

#include "net/response_headers.h"
#include "net/resume_rules.h"

namespace {

bool sameValidator(const UrlResponse& answer, const std::string& validator) {
  std::string value;
  if (validator[0] == '"')
    return answer.headerField("ETag", &value) && isStrongEntityTag(value) &&
           value == validator;
  return answer.headerField("Last-Modified", &value) && value == validator;
}

// The range runs from `held` to the last byte of the same whole: a part
// that stops short would leave the file short, and a part of another
// length is of another archive.
bool isTheRest(const UrlResponse& answer, const RangeRequest& asked) {
  std::string range;
  int64_t first = 0, last = 0, complete = 0;
  if (!answer.headerField("Content-Range", &range) ||
      !contentRange(range, &first, &last, &complete) || first != asked.held)
    return false;
  if (complete >= 0 && asked.wholeLength >= 0 &&
      complete != asked.wholeLength)
    return false;
  const int64_t whole = complete >= 0 ? complete : asked.wholeLength;
  return whole >= 0 && last + 1 == whole;
}

std::string from(const RangeRequest& asked) {
  return "from byte " + std::to_string(asked.held);
}

// Why a whole archive came where its rest was asked for.
std::string whyWhole(const UrlResponse& answer, const RangeRequest& asked) {
  if (asked.validator.empty())
    return "nothing vouched that the bytes received would come again";
  if (!sameValidator(answer, asked.validator))
    return "the archive changed on the server";
  return "the server does not send parts of it";
}

}  // namespace

std::string resumeValidator(const UrlResponse& answer) {
  if (answer.statusCode != 200 || isContentEncoded(answer))
    return std::string();
  std::string value;
  if (answer.headerField("ETag", &value))
    return isStrongEntityTag(value) ? value : std::string();
  if (answer.headerField("Last-Modified", &value)) return value;
  return std::string();
}

bool vouchesForTheRest(const UrlResponse& answer, const RangeRequest& asked) {
  return answer.statusCode == 206 && !asked.validator.empty() &&
         !isContentEncoded(answer) && sameValidator(answer, asked.validator) &&
         isTheRest(answer, asked);
}

RangeJudgement judgeRangeAnswer(const UrlResponse& answer,
                                const RangeRequest& asked) {
  const long status = answer.statusCode;
  const bool rangeSent = asked.held > 0 && !asked.validator.empty();
  if (status == 200) {
    if (asked.held == 0) return {RangeVerdict::kStartOver, ""};
    return {RangeVerdict::kStartOver,
            "The server sent the whole archive rather than the rest " +
                from(asked) + " (" + whyWhole(answer, asked) +
                "): the download starts over"};
  }
  if (rangeSent && status == 206) {
    if (vouchesForTheRest(answer, asked)) return {RangeVerdict::kContinue, ""};
    return {RangeVerdict::kRestart,
            "The server's part " + from(asked) +
                " is not vouched to be the rest of the same archive (its "
                "ETag or date, or its range, differs): the download starts "
                "over"};
  }
  if (rangeSent && status == 416)
    return {RangeVerdict::kRestart,
            "The server cannot send the rest " + from(asked) +
                " (status 416): the download starts over"};
  // To an earlier transfer's bytes, any other answer is a first answer,
  // unless another try may yet bring their rest.
  if (asked.earlier && !isTransient(status) && status != 407)
    return {RangeVerdict::kStartOver, ""};
  return {RangeVerdict::kRefuse, ""};
}
