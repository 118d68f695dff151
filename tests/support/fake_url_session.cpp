#include "support/fake_url_session.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

#include "common/write_all.h"

class FakeUrlSessions::Task : public DownloadTask {
 public:
  Task(FakeUrlSessions& script, UrlSessionDelegate* delegate,
       const std::string& tempDir, const std::string& url,
       const std::string& ifNoneMatch)
      : script_(script),
        delegate_(delegate),
        tempDir_(tempDir),
        url_(url),
        ifNoneMatch_(ifNoneMatch) {}

  void resume() override;
  // As a worker would, it tells of the cancel once the call in progress
  // has returned.
  void cancel() override { cancelled_ = true; }
  const UrlResponse* response() const override {
    return published_ ? &response_ : nullptr;
  }
  bool silenced = false;

 private:
  bool mayCall() const { return !cancelled_ && !silenced; }
  void complete(UrlError::Kind kind, UrlError error = UrlError()) {
    if (silenced || completed_) return;
    completed_ = true;
    error.kind = kind;
    error.failingUrl = url_;
    delegate_->didCompleteWithError(*this, error);
  }
  void play(const FakeAnswer& answer);

  FakeUrlSessions& script_;
  UrlSessionDelegate* const delegate_;
  const std::string tempDir_, url_, ifNoneMatch_;
  UrlResponse response_;
  bool published_ = false, cancelled_ = false, completed_ = false;
};

class FakeUrlSessions::Session : public UrlSession {
 public:
  Session(FakeUrlSessions& script, UrlSessionDelegate* delegate,
          const std::string& tempDir)
      : script_(script), delegate_(delegate), tempDir_(tempDir) {}
  DownloadTask* downloadTaskWithURL(const std::string& url,
                                    const std::string& ifNoneMatch) override {
    if (task_) return nullptr;
    task_.reset(new Task(script_, delegate_, tempDir_, url, ifNoneMatch));
    return task_.get();
  }
  // Bytes held are not looked at: the script says what the answer is.
  DownloadTask* downloadTaskWithResumeData(const std::string& url,
                                           const std::string& ifNoneMatch,
                                           const ResumeData&) override {
    return downloadTaskWithURL(url, ifNoneMatch);
  }
  void invalidateAndCancel() override {
    if (task_) task_->silenced = true;
  }

 private:
  FakeUrlSessions& script_;
  UrlSessionDelegate* const delegate_;
  const std::string tempDir_;
  std::unique_ptr<Task> task_;
};

void FakeUrlSessions::Task::resume() {
  script_.requests_.push_back(url_ + (ifNoneMatch_.empty()
                                          ? ""
                                          : " If-None-Match: " + ifNoneMatch_));
  if (!mayCall() || !delegate_->willStartTransfer(*this))
    return complete(UrlError::Kind::kCancelled);
  std::deque<FakeAnswer>& queue = script_.answers_[url_];
  if (queue.empty()) {
    UrlError error;
    error.localizedDescription = "no answer scripted";
    return complete(UrlError::Kind::kTransport, error);
  }
  FakeAnswer answer = queue.front();
  queue.pop_front();
  play(answer);
}

void FakeUrlSessions::Task::play(const FakeAnswer& answer) {
  std::string path = tempDir_ + "/fake-download-XXXXXX";
  int fd = mkstemp(&path[0]);
  if (fd < 0) return complete(UrlError::Kind::kTransport);
  response_ = answer.response;
  published_ = true;
  delegate_->willWriteBody(*this, answer.offset);
  int64_t total = answer.offset;
  for (size_t at = 0; at < answer.body.size() && mayCall();
       at += answer.chunkSize) {
    const std::string chunk = answer.body.substr(at, answer.chunkSize);
    writeAll(fd, chunk.data(), chunk.size());
    delegate_->didWriteBody(total, chunk.data(), chunk.size());
    total += static_cast<int64_t>(chunk.size());
    if (mayCall())
      delegate_->didWriteData(*this, static_cast<int64_t>(chunk.size()), total,
                              response_.expectedContentLength);
  }
  close(fd);
  if (answer.error.kind == UrlError::Kind::kNone && mayCall())
    delegate_->didFinishDownloadingToURL(*this, path);
  unlink(path.c_str());
  complete(cancelled_ ? UrlError::Kind::kCancelled : answer.error.kind,
           answer.error);
}

void FakeUrlSessions::answer(const std::string& url, FakeAnswer answer) {
  answers_[url].push_back(std::move(answer));
}

FakeAnswer FakeUrlSessions::ok(const std::string& body,
                               const std::string& etag) {
  FakeAnswer answer;
  answer.response.statusCode = 200;
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
