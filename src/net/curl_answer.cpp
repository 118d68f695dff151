// The transfer's answers: whether each one's body goes into the file, and
// from where.

#include <time.h>
#include <unistd.h>

#include "net/curl_transfer.h"
#include "net/response_headers.h"
#include "net/resume_rules.h"

// Decides, at the first byte of a body (or the end of an empty one),
// whether this answer's body is wanted; false ends the request.
bool Transfer::takeAnswer() {
  now_.answerTaken = true;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &now_.answer.statusCode);
  curl_off_t length = -1;
  curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  now_.answer.expectedContentLength = fileLength(now_.answer, length);
  const long status = now_.answer.statusCode;
  if (!now_.last && isTransient(status)) {
    std::string value;
    if (now_.answer.headerField("Retry-After", &value) &&
        !retryAfterSeconds(value, time(nullptr), &now_.retryAfterSeconds))
      now_.retryAfterSeconds = -1;
    return refuse("the server answered with status " + std::to_string(status),
                  true);
  }
  if (task_->response() || total_ > 0) return takeLaterAnswer();
  takeWhole();
  return true;
}

// This answer's body is the one to keep, from its first byte.
void Transfer::takeWhole() {
  task_->publish(now_.answer);
  validator_ = session_->delegate()->resumeValidator(now_.answer);
  wholeLength_ = now_.answer.expectedContentLength;
  session_->delegate()->willWriteBody(*task_, 0);
}

// The answer to a request for the rest: after a cut, once part of the body
// has reached the delegate, or first, when the file holds bytes an earlier
// transfer left. The delegate judges whether it goes on with them.
bool Transfer::takeLaterAnswer() {
  const bool earlier = !task_->response();
  const RangeRequest asked{total_, validator_, wholeLength_, earlier};
  switch (session_->delegate()->judgeRangeAnswer(now_.answer, asked)) {
    case RangeVerdict::kContinue:
      if (earlier) continueEarlierBody();
      return true;
    case RangeVerdict::kStartOver:
      return startOver();
    case RangeVerdict::kRestart:
      return restart();
    case RangeVerdict::kRefuse:
      break;
  }
  now_.proxyRefused = now_.answer.statusCode == 407;
  return refuse(std::string(earlier ? "the server answered with status "
                                    : "the server answered the retry with "
                                      "status ") +
                    std::to_string(now_.answer.statusCode),
                false);
}

// The delegate hears of the body as a whole: the response announces the
// whole length, and only the bytes past those held count as new.
void Transfer::continueEarlierBody() {
  UrlResponse response = now_.answer;
  response.expectedContentLength = wholeLength_;
  task_->publish(response);
  reported_ = total_;
  session_->delegate()->willWriteBody(*task_, total_);
}

// The bytes held go, and the whole is asked for again without a range, so
// that no second restart can follow.
bool Transfer::restart() {
  validator_.clear();
  if (!emptyFile()) return false;
  now_.restart = true;
  return refuse("the server could not send the rest of the download", false);
}

// The bytes in the file come again; the delegate hears only of those past
// what it already has.
bool Transfer::startOver() {
  if (!emptyFile()) return false;
  takeWhole();
  return true;
}

// The bytes in the file go; false, the failure set, when they cannot.
bool Transfer::emptyFile() {
  if (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0)
    return cannotStore("cannot write " + path_);
  total_ = 0;
  return true;
}
