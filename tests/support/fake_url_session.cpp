#include "support/fake_url_session.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "common/write_all.h"

// One task a session, as the real ones have.
class FakeUrlSessions::Session : public UrlSession, public DownloadTask {
 public:
  Session(FakeUrlSessions& script, UrlSessionDelegate* delegate,
          const std::string& tempDir)
      : script_(script), delegate_(delegate), tempDir_(tempDir) {}

  DownloadTask* downloadTaskWithURL(const std::string& url,
                                    const std::string& ifNoneMatch) override {
    url_ = url;
    ifNoneMatch_ = ifNoneMatch;
    return this;
  }
  // The script, not the bytes held, says what the answer is.
  DownloadTask* downloadTaskWithResumeData(const std::string& url,
                                           const std::string& ifNoneMatch,
                                           const ResumeData&) override {
    return downloadTaskWithURL(url, ifNoneMatch);
  }
  void invalidateAndCancel() override { silenced_ = true; }
  // Told of once the call in progress has returned, as by a worker.
  void cancel() override { cancelled_ = true; }
  const UrlResponse* response() const override {
    return published_ ? &answer_.response : nullptr;
  }
  void resume() override;

 private:
  bool mayCall() const { return !cancelled_ && !silenced_; }
  void play();
  void complete(UrlError error) {
    if (cancelled_) error.kind = UrlError::Kind::kCancelled;
    if (!silenced_) delegate_->didCompleteWithError(*this, error);
  }

  FakeUrlSessions& script_;
  UrlSessionDelegate* const delegate_;
  const std::string tempDir_;
  std::string url_, ifNoneMatch_;
  FakeAnswer answer_;
  bool published_ = false, cancelled_ = false, silenced_ = false;
};

void FakeUrlSessions::Session::resume() {
  script_.requests_.push_back(
      url_ + (ifNoneMatch_.empty() ? "" : " If-None-Match: " + ifNoneMatch_));
  std::deque<FakeAnswer>& queue = script_.answers_[url_];
  if (!mayCall() || !delegate_->willStartTransfer(*this)) cancelled_ = true;
  if (!cancelled_ && !queue.empty()) {
    answer_ = queue.front();
    queue.pop_front();
    return play();
  }
  UrlError error;
  error.kind = UrlError::Kind::kTransport;
  error.localizedDescription = "no answer scripted";
  complete(error);
}

void FakeUrlSessions::Session::play() {
  std::string path = tempDir_ + "/fake-download-XXXXXX";
  int fd = mkstemp(&path[0]);
  writeAll(fd, answer_.body.data(), answer_.body.size());
  close(fd);
  published_ = true;
  delegate_->willWriteBody(*this, 0);
  const int64_t size = static_cast<int64_t>(answer_.body.size());
  // Two chunks, so that a later one follows the first answer's.
  for (int64_t at = 0, half = (size + 1) / 2; at < size && mayCall();
       at += half) {
    const int64_t chunk = std::min(half, size - at);
    delegate_->didWriteBody(at, answer_.body.data() + at, chunk);
    if (mayCall())
      delegate_->didWriteData(*this, chunk, at + chunk,
                              answer_.response.expectedContentLength);
  }
  if (answer_.error.kind == UrlError::Kind::kNone && mayCall())
    delegate_->didFinishDownloadingToURL(*this, path);
  unlink(path.c_str());
  complete(answer_.error);
}

FakeAnswer FakeUrlSessions::ok(const std::string& body,
                               const std::string& etag) {
  FakeAnswer answer = status(200);
  answer.response.expectedContentLength = static_cast<int64_t>(body.size());
  if (!etag.empty()) answer.response.headerFields = {{"ETag", etag}};
  answer.body = body;
  return answer;
}

FakeAnswer FakeUrlSessions::status(long code) {
  FakeAnswer answer;
  answer.response.statusCode = code;
  return answer;
}

UrlSessionMaker FakeUrlSessions::maker() {
  return [this](UrlSessionDelegate* delegate, const std::string& tempDir,
                const SessionSettings&, const ProxyRouter&) {
    return std::unique_ptr<UrlSession>(new Session(*this, delegate, tempDir));
  };
}
