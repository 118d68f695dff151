#ifndef BOOTSTRAP_FETCH_POLICY_FIRST_ANSWER_H_
#define BOOTSTRAP_FETCH_POLICY_FIRST_ANSWER_H_

#include <string>

#include "net/url_session.h"

// What the first answer to the request for the agent's archive means, and
// what stamps the agent it brings.

enum class AnswerAction {
  kReuseCached,  // the cached agent, if the cache confirms validationString
  kDownload,     // take the body (also when the cache does not confirm)
  kRefuse,       // show failureText
};

struct AnswerJudgement {
  AnswerAction action = AnswerAction::kDownload;
  std::string validationString;  // with kReuseCached
  // With kRefuse, and with a kReuseCached the cache must confirm or fail.
  std::string failureText;
};

// The window's text for a refused status.
std::string refusedText(long statusCode);

// answer to a request sent with validationStringSent as If-None-Match
// (empty: none), going on from bytes kept (resumed) or not. Only a 200
// carries the archive, or a 206 its rest: libcurl hands over a 3xx it
// could not follow, and other 2xx answers are about something else. A 304
// vouches for the cached agent only when a validation string was sent;
// an ETag vouches for it only when it fits the marker and the cache is
// usable.
AnswerJudgement judgeFirstAnswer(const UrlResponse& answer, bool resumed,
                                 const std::string& validationStringSent,
                                 bool cacheUsable);

// The validation string to stamp the agent of answer with: its ETag, if
// it has one that fits the marker; else empty, with *why the log line
// when it had one too long (the next run fetches the agent again).
std::string stampFor(const UrlResponse& answer, std::string* why);

#endif
