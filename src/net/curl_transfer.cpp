#include "net/curl_transfer.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "common/write_all.h"
#include "net/curl_options.h"
#include "net/response_headers.h"
#include "net/resume_rules.h"

namespace {

// No credential goes into it: the proxy's URL is never named.
const char kProxyRefusal[] =
    "the proxy answered 407 (Proxy Authentication Required): credentials "
    "missing or refused";

// Big reads keep the per-chunk cost (a write(2) and a delegate call) small.
const long kReceiveBufferSize = 256 * 1024;
const long kMaxRedirects = 10;
// How long the worker sleeps in one poll; cancellation wakes it sooner.
const int kPollMilliseconds = 1000;

// The log takes one line per failure, whatever libcurl or the system said.
std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The empty line after a header's fields.
bool endsHeader(const char* data, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (data[i] != '\r' && data[i] != '\n') return false;
  return true;
}

}  // namespace

bool curlReady() {
  // Once per process, before any handle; the static makes it thread-safe.
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

Transfer::Transfer(CurlSession* session, CurlTask* task)
    : session_(session), task_(task) {}

Transfer::~Transfer() {
  if (easy_) curl_easy_cleanup(easy_);
  curl_slist_free_all(requestHeaders_);
  if (fd_ >= 0) close(fd_);
  if (!path_.empty() && !callersFile_) unlink(path_.c_str());
}

Outcome Transfer::perform(bool last) {
  now_ = Request();
  now_.last = last;
  errorBuffer_[0] = '\0';
  if (!prepare()) return outcome(CURLE_OK);  // now_.ownError tells why
  CURLcode result = drive();
  if (result != CURLE_OK && now_.ownError.empty() && proxyRefusedTunnel())
    refuse(kProxyRefusal, false);
  // An empty body comes without a chunk: its answer is taken now.
  if (result == CURLE_OK && !now_.answerTaken) takeAnswer();
  if (result == CURLE_OK && now_.ownError.empty() && !closeFile())
    cannotStore("cannot write " + path_);
  return outcome(result);
}

Outcome Transfer::outcome(CURLcode result) {
  Outcome outcome;
  outcome.retryAfterSeconds = now_.retryAfterSeconds;
  outcome.restart = now_.restart;
  if (!now_.ownError.empty()) {
    outcome.transient = now_.transient;
    outcome.error = failure(now_.ownError);
    outcome.error.storageErrno = now_.storageErrno;
    outcome.error.proxyRefused = now_.proxyRefused;
  } else if (result != CURLE_OK) {
    outcome.transient = isTransient(result);
    outcome.error = failure(describe(result));
  }
  return outcome;
}

// No retry brings credentials the proxy variable does not hold.
bool Transfer::proxyRefusedTunnel() {
  long code = 0;
  now_.proxyRefused =
      curl_easy_getinfo(easy_, CURLINFO_HTTP_CONNECTCODE, &code) == CURLE_OK &&
      code == 407;
  return now_.proxyRefused;
}

std::string Transfer::describe(CURLcode result) const {
  // libcurl says only "Out of memory" of a header line over its limit.
  if (result == CURLE_OUT_OF_MEMORY && now_.lastHeard && !now_.answerTaken)
    return "the answer's header could not be read: a header line over " +
           std::to_string(CURL_MAX_HTTP_HEADER / 1024) +
           " KB, or out of memory";
  // ...and that the protocol is "not supported" of a redirect it refused.
  std::string location;
  if (result == CURLE_UNSUPPORTED_PROTOCOL &&
      now_.answer.headerField("Location", &location) &&
      leavesHttps(task_->url(), location))
    return "refused a redirect from https to http: " + location;
  return errorBuffer_[0] ? errorBuffer_ : curl_easy_strerror(result);
}

void Transfer::finish() {
  if (session_->mayCall())
    session_->delegate()->didFinishDownloadingToURL(*task_, path_);
}

// The handle and file on the first request; the same, reset, on a retry.
bool Transfer::prepare() {
  if (easy_) {
    curl_easy_reset(easy_);
  } else {
    if (!curlReady() || !(easy_ = curl_easy_init())) {
      now_.ownError = "libcurl could not be initialised";
      return false;
    }
    const ResumeData* data = task_->resumeData();
    if (data && !takeCallersFile(*data))
      return cannotStore("cannot write " + data->path);
    if (!data && !openFile())
      return cannotStore("cannot create a file in " + session_->tempDir());
  }
  if (configure() && setRequestHeaders()) return true;
  now_.ownError = "libcurl refused the transfer's options";
  return false;
}

bool Transfer::openFile() {
  std::string pattern = session_->tempDir() + "/zrdownload-XXXXXX";
  fd_ = mkostemp(&pattern[0], O_CLOEXEC);
  if (fd_ < 0) return false;
  path_ = pattern;
  return true;
}

// Goes on after the bytes held, if the server can vouch for them.
bool Transfer::takeCallersFile(const ResumeData& data) {
  fd_ = fcntl(data.fd, F_DUPFD_CLOEXEC, 0);
  if (fd_ < 0) return false;
  path_ = data.path;
  callersFile_ = true;
  const bool resumable = data.held > 0 && !data.validator.empty() &&
                         data.wholeLength > data.held;
  total_ = resumable ? data.held : 0;
  // Cut only where something lies past the held bytes: ext4 takes a file
  // cut to nothing and written anew for a replaced one, and writes all of
  // it out when it is closed (a quarter of a second for 256 MiB).
  struct stat st;
  if (fstat(fd_, &st) != 0 ||
      (st.st_size != total_ && ftruncate(fd_, total_) != 0) ||
      lseek(fd_, total_, SEEK_SET) != total_)
    return false;
  if (resumable) {
    validator_ = data.validator;
    wholeLength_ = data.wholeLength;
  }
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
  curl_easy_setopt(easy_, CURLOPT_USERAGENT, kUserAgent);
  // Asks for the file itself, and decodes it all the same when something
  // on the way compressed it.
  curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, "identity");
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
  // Whatever scheme the proxy offers (Basic, Digest, NTLM, Negotiate), with
  // the credentials of the proxy variable; libcurl's default is Basic only.
  curl_easy_setopt(easy_, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
  return setRoute(easy_, session_->route()) &&
         setTrust(easy_, session_->settings().trust) &&
         curl_easy_setopt(
             easy_, CURLOPT_CONNECTTIMEOUT,
             static_cast<long>(session_->settings().stallSeconds)) ==
             CURLE_OK &&
         limitSchemes(easy_, task_->url());
}

// Until an answer is taken, the task's condition, if any; after a cut, a
// request for the bytes not yet in the file, if the server can vouch that
// they belong to the same archive (otherwise the whole comes again).
bool Transfer::setRequestHeaders() {
  curl_slist_free_all(requestHeaders_);
  requestHeaders_ = requestHeaders(
      task_->response() ? std::string() : task_->ifNoneMatch(), total_,
      validator_);
  return requestHeaders_ &&
         curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, requestHeaders_) ==
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
  if (status != CURLM_OK) now_.ownError = curl_multi_strerror(status);
  CURLcode result = resultOf(multi);
  session_->attach(nullptr);
  curl_multi_remove_handle(multi, easy_);
  curl_multi_cleanup(multi);
  return result;
}

// Wakes in time to notice a stall, not a poll later.
int Transfer::pollMilliseconds() const {
  if (!now_.lastHeard) return kPollMilliseconds;
  auto deadline = *now_.lastHeard +
                  std::chrono::seconds(session_->settings().stallSeconds);
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                  deadline - Clock::now())
                  .count();
  return static_cast<int>(
      std::max<long long>(1, std::min<long long>(left + 1, kPollMilliseconds)));
}

// libcurl's low-speed check averages over a window, so a slow but steady
// trickle would fail it; the limit is on silence alone.
bool Transfer::stalled() {
  const int limit = session_->settings().stallSeconds;
  if (!now_.lastHeard ||
      Clock::now() - *now_.lastHeard < std::chrono::seconds(limit))
    return false;
  const std::string seconds =
      std::to_string(limit) + (limit == 1 ? " second" : " seconds");
  now_.ownError = now_.answerPending
                      ? "no complete answer within " + seconds
                      : "no data received for " + seconds;
  now_.transient = true;
  return true;
}

CURLcode Transfer::resultOf(CURLM* multi) {
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
    if (message->msg == CURLMSG_DONE) return message->data.result;
  }
  return CURLE_ABORTED_BY_CALLBACK;  // left unfinished: cancelled
}

// The temporary file failed us (a full disk, say): no retry helps.
bool Transfer::cannotStore(const std::string& what) {
  now_.storageErrno = errno;
  return refuse(what + ": " + strerror(now_.storageErrno), false);
}

bool Transfer::refuse(const std::string& why, bool transient) {
  now_.ownError = why;
  now_.transient = transient;
  return false;
}

bool Transfer::receive(const char* data, size_t length) {
  heardFromServer();
  if (!session_->mayCall()) return false;
  if (!now_.answerTaken && !takeAnswer()) return false;
  if (!writeAll(fd_, data, length))
    return cannotStore("cannot write " + path_);
  session_->delegate()->didWriteBody(total_, data, length);
  total_ += static_cast<int64_t>(length);
  if (total_ <= reported_) return true;
  const int64_t fresh = total_ - reported_;
  reported_ = total_;
  session_->delegate()->didWriteData(
      *task_, fresh, total_, task_->response()->expectedContentLength);
  return true;
}

void Transfer::headerLine(const char* data, size_t length) {
  addHeaderLine(data, length, &now_.answer);
  if (!endsHeader(data, length)) {
    now_.answerPending = true;
    return;
  }
  // A 1xx header is no answer yet, however many of them come.
  long status = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 200) heardFromServer();
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
