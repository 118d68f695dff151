#ifndef BOOTSTRAP_FETCH_POLICY_JUDGED_DELEGATE_H_
#define BOOTSTRAP_FETCH_POLICY_JUDGED_DELEGATE_H_

#include <string>

#include "fetch_policy/range_answer.h"
#include "net/url_session.h"

// A URL session's delegate whose bytes held are judged by the rules of
// range_answer.h; it hears, through startsOver, the line that says why
// they go.
class JudgedDelegate : public UrlSessionDelegate {
 public:
  std::string resumeValidator(const UrlResponse& answer) override {
    return ::resumeValidator(answer);
  }
  RangeVerdict judgeRangeAnswer(const UrlResponse& answer,
                                const RangeRequest& asked) override {
    RangeJudgement judged = ::judgeRangeAnswer(answer, asked);
    if (!judged.why.empty()) startsOver(judged.why);
    return judged.verdict;
  }

 protected:
  virtual void startsOver(const std::string& why) = 0;
};

#endif
