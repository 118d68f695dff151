#ifndef BOOTSTRAP_FETCH_POLICY_RANGE_ANSWER_H_
#define BOOTSTRAP_FETCH_POLICY_RANGE_ANSWER_H_

#include <string>

#include "net/url_session.h"

// Whether bytes already in the file may be gone on from: what a request
// for the rest carries, and what the answer to it means. A 206 is spliced
// onto the bytes held only when the server vouched, with the same strong
// ETag or date, that it is the rest of the same archive; anything less
// starts over, since a mixture of two archives may still unzip.

// What If-Range may carry so that a resumed body is the same archive: a
// strong entity tag; the modification date only when the answer has no
// ETag at all (a weak one says the bytes may differ); empty when neither,
// or when the answer is no 200 or comes content-encoded (a range of
// encoded bytes is no range of the file). Empty: a retry starts over.
std::string resumeValidator(const UrlResponse& answer);

// What a 206 must carry to continue the bytes held: the validator sent,
// as its ETag (a strong one) or, for a date, as its Last-Modified; a
// Content-Range from byte `held` to the end of a whole of wholeLength
// bytes, where known.
bool vouchesForTheRest(const UrlResponse& answer, const RangeRequest& asked);

// The answer to a request for the rest, with the log line that says why
// when the download does not simply go on (empty otherwise).
RangeJudgement judgeRangeAnswer(const UrlResponse& answer,
                                const RangeRequest& asked);

#endif
