#include "net/url_session.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <mutex>
#include <optional>
#include <thread>

#include <curl/curl.h>

#include "net/response_headers.h"

namespace {

// Big reads keep the per-chunk cost (a write(2) and a delegate call) small.
const long kReceiveBufferSize = 256 * 1024;
const long kMaxRedirects = 10;
// How long the worker sleeps in one poll; cancellation wakes it sooner.
const int kPollMilliseconds = 1000;
const char kWebSchemes[] = "http,https";
const int kDefaultStallSeconds = 30;
// libcurl refuses longer connect timeouts: it counts milliseconds in an int.
const long long kMaxStallSeconds = INT_MAX / 1000;

using Clock = std::chrono::steady_clock;

bool curlReady() {
  // Once per process, before any handle; the static makes it thread-safe.
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

// The first set and non-empty of two variables, else null.
const char* firstSet(const char* preferred, const char* fallback) {
  const char* value = getenv(preferred);
  if (value && *value) return value;
  value = getenv(fallback);
  return value && *value ? value : nullptr;
}

// Where HTTPS looks for trusted certificates, as the environment says;
// empty fields keep libcurl's defaults. Verification itself stays on.
struct TrustStore {
  std::string bundleFile;
  std::string directory;
};

TrustStore trustStoreFromEnvironment() {
  TrustStore store;
  // The curl tool's order: its own variable before OpenSSL's.
  if (const char* file = firstSet("CURL_CA_BUNDLE", "SSL_CERT_FILE"))
    store.bundleFile = file;
  const char* directory = getenv("SSL_CERT_DIR");
  if (directory && *directory) store.directory = directory;
  return store;
}

// The log takes one line per failure, whatever libcurl or the system said.
std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool writeAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    ssize_t written = write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

class CurlSession;

class CurlTask : public DownloadTask {
 public:
  CurlTask(CurlSession* session, const std::string& url)
      : session_(session), url_(url) {}

  void resume() override;
  void cancel() override;
  const UrlResponse* response() const override {
    return published_ ? &response_ : nullptr;
  }

  const std::string& url() const { return url_; }
  // The worker fills the response in while headers arrive and shows it
  // once they are final.
  UrlResponse* responseInProgress() { return &response_; }
  void publishResponse() { published_ = true; }

 private:
  CurlSession* const session_;
  const std::string url_;
  UrlResponse response_;
  bool published_ = false;
};

class CurlSession : public UrlSession {
 public:
  // Reads the environment here, once, on the caller's thread.
  CurlSession(UrlSessionDelegate* delegate, const std::string& tempDir)
      : delegate_(delegate),
        tempDir_(tempDir),
        stallSeconds_(::stallSeconds(getenv("ZR_BOOTSTRAP_STALL_SECONDS"))),
        trust_(trustStoreFromEnvironment()) {}
  ~CurlSession() override;

  DownloadTask* downloadTaskWithURL(const std::string& url) override;
  void invalidateAndCancel() override { stop(true); }

  void resume();
  // Cancels the task; silence also withholds the cancellation notice.
  void stop(bool silence);

  // The worker asks before each delegate call; false once cancelled.
  bool mayCall();
  // Lets stop() wake the worker's poll of multi; null once it is gone.
  void attach(CURLM* multi);
  UrlSessionDelegate* delegate() const { return delegate_; }
  const std::string& tempDir() const { return tempDir_; }
  int stallSeconds() const { return stallSeconds_; }
  const TrustStore& trust() const { return trust_; }

 private:
  void run();
  UrlError download();
  void complete(UrlError error);

  UrlSessionDelegate* const delegate_;
  const std::string tempDir_;
  const int stallSeconds_;
  const TrustStore trust_;
  std::unique_ptr<CurlTask> task_;
  std::thread worker_;

  std::mutex mutex_;  // guards what follows
  bool started_ = false;
  bool cancelled_ = false;
  bool silenced_ = false;
  CURLM* multi_ = nullptr;
};

// One transfer on the worker: the easy handle, the temporary file and the
// bookkeeping of libcurl's callbacks. Its destructor leaves nothing behind.
class Transfer {
 public:
  Transfer(CurlSession* session, CurlTask* task);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  UrlError perform();
  // Hands the complete body to the delegate.
  void finish();

 private:
  bool openFile();
  bool closeFile();
  bool configure();
  bool configureTrust();
  CURLcode drive();
  int pollMilliseconds() const;
  bool stalled();
  CURLcode resultOf(CURLM* multi);
  bool receive(const char* data, size_t length);
  void headerLine(const char* data, size_t length);
  void publishResponse();
  void heardFromServer() { lastHeard_ = Clock::now(); }
  UrlError failure(const std::string& description) const;

  static size_t onBody(char* data, size_t size, size_t count, void* context);
  static size_t onHeader(char* data, size_t size, size_t count, void* context);
  static int onConnected(void* context, char*, char*, int, int);

  CurlSession* const session_;
  CurlTask* const task_;
  UrlResponse* const response_;
  CURL* easy_ = nullptr;
  int fd_ = -1;
  std::string path_;
  int64_t total_ = 0;
  // Silence is timed from the connection on (libcurl's connect timeout
  // covers the time before); unset until then.
  std::optional<Clock::time_point> lastHeard_;
  std::string ownError_;  // a failure of ours rather than libcurl's
  char errorBuffer_[CURL_ERROR_SIZE];
};

void CurlTask::resume() { session_->resume(); }

void CurlTask::cancel() { session_->stop(false); }

CurlSession::~CurlSession() {
  stop(true);
  if (worker_.joinable()) worker_.join();
}

DownloadTask* CurlSession::downloadTaskWithURL(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (task_ || silenced_) return nullptr;
  task_.reset(new CurlTask(this, url));
  return task_.get();
}

void CurlSession::resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_) return;
  started_ = true;
  worker_ = std::thread(&CurlSession::run, this);
}

void CurlSession::stop(bool silence) {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  silenced_ = silenced_ || silence;
  if (multi_) curl_multi_wakeup(multi_);
}

bool CurlSession::mayCall() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !cancelled_;
}

void CurlSession::attach(CURLM* multi) {
  std::lock_guard<std::mutex> lock(mutex_);
  multi_ = multi;
}

void CurlSession::run() { complete(download()); }

UrlError CurlSession::download() {
  Transfer transfer(this, task_.get());
  UrlError error = transfer.perform();
  if (error.kind == UrlError::Kind::kNone) transfer.finish();
  return error;
}

void CurlSession::complete(UrlError error) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (silenced_) return;
    // A cancel that came in time wins over whatever the transfer did.
    if (cancelled_) {
      error.kind = UrlError::Kind::kCancelled;
      error.localizedDescription = "cancelled";
      error.failingUrl = task_->url();
    }
  }
  delegate_->didCompleteWithError(*task_, error);
}

Transfer::Transfer(CurlSession* session, CurlTask* task)
    : session_(session), task_(task), response_(task->responseInProgress()) {
  errorBuffer_[0] = '\0';
}

Transfer::~Transfer() {
  if (easy_) curl_easy_cleanup(easy_);
  if (fd_ >= 0) close(fd_);
  if (!path_.empty()) unlink(path_.c_str());
}

UrlError Transfer::perform() {
  if (!curlReady() || !(easy_ = curl_easy_init()))
    return failure("libcurl could not be initialised");
  if (!openFile()) {
    return failure("cannot create a file in " + session_->tempDir() + ": " +
                   strerror(errno));
  }
  if (!configure()) return failure("libcurl refused the transfer's options");
  CURLcode result = drive();
  if (result == CURLE_OK && !closeFile())
    ownError_ = "cannot write " + path_ + ": " + strerror(errno);
  if (!ownError_.empty()) return failure(ownError_);
  if (result == CURLE_OK) return UrlError();
  return failure(errorBuffer_[0] ? errorBuffer_ : curl_easy_strerror(result));
}

void Transfer::finish() {
  if (!task_->response()) publishResponse();
  if (session_->mayCall())
    session_->delegate()->didFinishDownloadingToURL(*task_, path_);
}

bool Transfer::openFile() {
  std::string pattern = session_->tempDir() + "/zrdownload-XXXXXX";
  fd_ = mkostemp(&pattern[0], O_CLOEXEC);
  if (fd_ < 0) return false;
  path_ = pattern;
  return true;
}

bool Transfer::closeFile() {
  int status = close(fd_);
  fd_ = -1;
  return status == 0;
}

bool Transfer::configure() {
  curl_easy_setopt(easy_, CURLOPT_URL, task_->url().c_str());
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
  curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, onConnected);
  curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this);
  if (!configureTrust() ||
      curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT,
                       static_cast<long>(session_->stallSeconds())) != CURLE_OK)
    return false;
  // Never file:, ftp: or the like, not even where a redirect points.
  return curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, kWebSchemes) ==
             CURLE_OK &&
         curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, kWebSchemes) ==
             CURLE_OK;
}

bool Transfer::configureTrust() {
  const TrustStore& trust = session_->trust();
  if (!trust.bundleFile.empty() &&
      curl_easy_setopt(easy_, CURLOPT_CAINFO, trust.bundleFile.c_str()) !=
          CURLE_OK)
    return false;
  return trust.directory.empty() ||
         curl_easy_setopt(easy_, CURLOPT_CAPATH, trust.directory.c_str()) ==
             CURLE_OK;
}

// Runs the transfer on a multi handle so that stop() can wake the poll:
// a cancel takes effect at once even while the server sends nothing.
CURLcode Transfer::drive() {
  CURLM* multi = curl_multi_init();
  if (!multi) return CURLE_OUT_OF_MEMORY;
  curl_multi_add_handle(multi, easy_);
  session_->attach(multi);
  int running = 1;
  CURLMcode status = CURLM_OK;
  while (running && status == CURLM_OK && session_->mayCall()) {
    status = curl_multi_perform(multi, &running);
    if (running && stalled()) break;
    if (running && status == CURLM_OK)
      status = curl_multi_poll(multi, nullptr, 0, pollMilliseconds(), nullptr);
  }
  if (status != CURLM_OK) ownError_ = curl_multi_strerror(status);
  CURLcode result = resultOf(multi);
  session_->attach(nullptr);
  curl_multi_remove_handle(multi, easy_);
  curl_multi_cleanup(multi);
  return result;
}

// Wakes in time to notice a stall, not a poll later.
int Transfer::pollMilliseconds() const {
  if (!lastHeard_) return kPollMilliseconds;
  auto deadline = *lastHeard_ + std::chrono::seconds(session_->stallSeconds());
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                  deadline - Clock::now())
                  .count();
  return static_cast<int>(
      std::max<long long>(1, std::min<long long>(left + 1, kPollMilliseconds)));
}

// libcurl's low-speed check averages over a window, so a slow but steady
// trickle would fail it; the limit is on silence alone.
bool Transfer::stalled() {
  const int limit = session_->stallSeconds();
  if (!lastHeard_ || Clock::now() - *lastHeard_ < std::chrono::seconds(limit))
    return false;
  ownError_ = "no data received for " + std::to_string(limit) +
              (limit == 1 ? " second" : " seconds");
  return true;
}

CURLcode Transfer::resultOf(CURLM* multi) {
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
    if (message->msg == CURLMSG_DONE) return message->data.result;
  }
  return CURLE_ABORTED_BY_CALLBACK;  // left unfinished: cancelled
}

bool Transfer::receive(const char* data, size_t length) {
  heardFromServer();
  if (!session_->mayCall()) return false;
  if (!writeAll(fd_, data, length)) {
    ownError_ = "cannot write " + path_ + ": " + strerror(errno);
    return false;
  }
  total_ += static_cast<int64_t>(length);
  if (!task_->response()) publishResponse();
  session_->delegate()->didWriteData(*task_, static_cast<int64_t>(length),
                                     total_, response_->expectedContentLength);
  return true;
}

void Transfer::headerLine(const char* data, size_t length) {
  heardFromServer();
  addHeaderLine(data, length, response_);
}

void Transfer::publishResponse() {
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &response_->statusCode);
  curl_off_t length = -1;
  curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  response_->expectedContentLength = length;
  task_->publishResponse();
}

UrlError Transfer::failure(const std::string& description) const {
  UrlError error;
  error.kind = UrlError::Kind::kTransport;
  error.localizedDescription = oneLine(description);
  error.failingUrl = task_->url();
  return error;
}

size_t Transfer::onBody(char* data, size_t size, size_t count, void* context) {
  size_t length = size * count;
  // libcurl may announce an empty body with an empty chunk.
  if (length == 0) return 0;
  return static_cast<Transfer*>(context)->receive(data, length) ? length : 0;
}

size_t Transfer::onHeader(char* data, size_t size, size_t count,
                          void* context) {
  static_cast<Transfer*>(context)->headerLine(data, size * count);
  return size * count;
}

// Called once a connection (a new one or one reused, for each redirect) is
// ready for the request.
int Transfer::onConnected(void* context, char*, char*, int, int) {
  static_cast<Transfer*>(context)->heardFromServer();
  return CURL_PREREQFUNC_OK;
}

}  // namespace

int stallSeconds(const char* value) {
  if (!value || !*value) return kDefaultStallSeconds;
  long long seconds = 0;
  for (const char* digit = value; *digit; ++digit) {
    if (*digit < '0' || *digit > '9') return kDefaultStallSeconds;
    seconds = seconds * 10 + (*digit - '0');
    if (seconds > kMaxStallSeconds) return kDefaultStallSeconds;
  }
  return seconds > 0 ? static_cast<int>(seconds) : kDefaultStallSeconds;
}

std::unique_ptr<UrlSession> makeUrlSession(UrlSessionDelegate* delegate,
                                           const std::string& tempDir) {
  curlReady();
  return std::unique_ptr<UrlSession>(new CurlSession(delegate, tempDir));
}
