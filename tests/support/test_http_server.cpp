#include "support/test_http_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include <gtest/gtest.h>
#include <httplib.h>

#include "support/loopback_socket.h"
#include "support/process.h"
#include "support/scratch_tree.h"

namespace {

const char kContentType[] = "application/octet-stream";
const int kPatternPeriod = 251;

int64_t bodySize(const TestReply& reply) {
  return reply.generatedSize >= 0 ? reply.generatedSize
                                  : static_cast<int64_t>(reply.body.size());
}

// Where the body stops going out: its end, or where it is cut short.
int64_t sendLimit(const TestReply& reply) {
  int64_t size = bodySize(reply);
  return reply.cutAfter >= 0 ? std::min(reply.cutAfter, size) : size;
}

std::string bodyBytes(const TestReply& reply, int64_t offset, int64_t length) {
  if (reply.generatedSize < 0)
    return reply.body.substr(static_cast<size_t>(offset),
                             static_cast<size_t>(length));
  std::string bytes(static_cast<size_t>(length), '\0');
  for (int64_t i = 0; i < length; ++i)
    bytes[static_cast<size_t>(i)] =
        static_cast<char>((offset + i) % kPatternPeriod);
  return bytes;
}

std::string etagOf(const TestReply& reply) {
  for (const auto& header : reply.headers)
    if (header.first == "ETag") return header.second;
  return std::string();
}

// Where a 206 answer starts: N of "bytes=N-" when the reply takes ranges
// and If-Range, if any, names its ETag; else -1 (the whole body).
int64_t rangeStart(const TestReply& reply, const httplib::Request& request,
                   int64_t size) {
  const std::string range = request.get_header_value("Range");
  const std::string prefix = "bytes=";
  if (!reply.acceptRanges || range.compare(0, prefix.size(), prefix) != 0 ||
      range.back() != '-')
    return -1;
  if (request.has_header("If-Range") && !reply.ignoreIfRange &&
      (etagOf(reply).empty() ||
       etagOf(reply) != request.get_header_value("If-Range")))
    return -1;
  int64_t from = std::stoll(range.substr(prefix.size()));
  return from < size ? from : -1;
}

}  // namespace

TestHttpServer::TestHttpServer() : server_(new httplib::Server) { start(); }

TestHttpServer::TestHttpServer(const std::string& certFile,
                               const std::string& keyFile)
    : server_(new httplib::SSLServer(certFile.c_str(), keyFile.c_str())),
      scheme_("https") {
  if (!server_->is_valid()) {
    ADD_FAILURE() << "cannot use " << certFile << " and " << keyFile;
    return;
  }
  start();
}

void TestHttpServer::start() {
  // One request per connection: no idle keep-alive holds up the stop.
  server_->set_keep_alive_max_count(1);
  server_->Get(".*", [this](const httplib::Request& request,
                            httplib::Response& response) {
    handle(request, response);
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) {
    ADD_FAILURE() << "cannot listen on 127.0.0.1";
    return;
  }
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // A stop() before the accept loop has begun would go unheard.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!server_->is_running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpServer::~TestHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  stopping_.notify_all();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string TestHttpServer::url(const std::string& path) const {
  return std::string(scheme_) + "://127.0.0.1:" + std::to_string(port_) +
         path;
}

void TestHttpServer::serve(const std::string& path, const TestReply& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  paths_[path].reply = std::make_shared<const TestReply>(reply);
}

void TestHttpServer::serveOnce(const std::string& path,
                               const TestReply& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  paths_[path].once.push_back(std::make_shared<const TestReply>(reply));
}

std::vector<std::string> TestHttpServer::requestHeaders(
    const std::string& path, const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> values;
  auto it = paths_.find(path);
  if (it == paths_.end()) return values;
  for (const auto& headers : it->second.requestHeaders) {
    auto header = headers.find(name);
    values.push_back(header == headers.end() ? "" : header->second);
  }
  return values;
}

int TestHttpServer::requestCount(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = paths_.find(path);
  return it == paths_.end() ? 0 : it->second.requests;
}

int64_t TestHttpServer::bytesSent(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = paths_.find(path);
  return it == paths_.end() ? 0 : it->second.bytesSent;
}

std::string TestHttpServer::generatedBody(int64_t size) {
  TestReply reply;
  reply.generatedSize = size;
  return bodyBytes(reply, 0, size);
}

TestHttpServer::SharedReply TestHttpServer::nextReply(
    const httplib::Request& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  PathState& state = paths_[request.path];
  ++state.requests;
  state.requestHeaders.emplace_back(request.headers.begin(),
                                    request.headers.end());
  if (!state.once.empty()) {
    SharedReply reply = state.once.front();
    state.once.erase(state.once.begin());
    return reply;
  }
  return state.reply;
}

void TestHttpServer::handle(const httplib::Request& request,
                            httplib::Response& response) {
  const std::string& path = request.path;
  // Shared by the providers below, which the library copies.
  SharedReply shared = nextReply(request);
  if (!shared) {
    response.status = 404;
    return;
  }
  const TestReply& reply = *shared;
  response.status = reply.status;
  for (const auto& header : reply.headers)
    response.set_header(header.first, header.second);
  if (reply.conditional && request.has_header("If-None-Match") &&
      request.get_header_value("If-None-Match") == etagOf(reply)) {
    response.status = 304;
    return;
  }
  int64_t size = bodySize(reply);
  int64_t from = rangeStart(reply, request, size);
  if (from >= 0) {
    response.status = 206;
    response.set_header("Content-Range", "bytes " + std::to_string(from) +
                                             "-" + std::to_string(size - 1) +
                                             "/" + std::to_string(size));
  }
  // Chunked for a 206, which the library would cut once more if sized, and
  // under a Range it does not take, which it would apply to a sized body.
  if (from >= 0 || !reply.contentLength || request.has_header("Range")) {
    from = std::max<int64_t>(from, 0);
    response.set_chunked_content_provider(
        kContentType, [this, path, shared, size, from](
                          size_t offset, httplib::DataSink& sink) {
          if (from + static_cast<int64_t>(offset) < size)
            return sendChunk(path, *shared, from + offset, sink);
          sink.done();
          return true;
        });
  } else if (size == 0) {
    response.set_content("", kContentType);
  } else {
    response.set_content_provider(
        static_cast<size_t>(size), kContentType,
        [this, path, shared](size_t offset, size_t, httplib::DataSink& sink) {
          return sendChunk(path, *shared, offset, sink);
        });
  }
}

// Writes the chunk at offset; false ends the reply and closes the
// connection (cut short, stopping, or the client is gone).
bool TestHttpServer::sendChunk(const std::string& path, const TestReply& reply,
                               size_t offset, httplib::DataSink& sink) {
  int64_t start = static_cast<int64_t>(offset);
  int64_t end =
      std::min(start + static_cast<int64_t>(reply.chunkSize), sendLimit(reply));
  if (reply.stallAfter >= 0) {
    if (start >= reply.stallAfter) {
      pause(60 * 1000);
      return false;
    }
    end = std::min(end, reply.stallAfter);
  }
  if (start >= end || !pause(reply.chunkDelayMs)) return false;
  std::string bytes = bodyBytes(reply, start, end - start);
  // Counted before the write, so that a client that has the bytes sees
  // them counted; taken back when the write fails.
  addSent(path, end - start);
  if (sink.write(bytes.data(), bytes.size())) return true;
  addSent(path, start - end);
  return false;
}

void TestHttpServer::addSent(const std::string& path, int64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  paths_[path].bytesSent += bytes;
}

// Sleeps unless the server stops first; false when it does.
bool TestHttpServer::pause(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  stopping_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                     [this] { return stopped_; });
  return !stopped_;
}

DribblingHeaderServer::DribblingHeaderServer(int intervalMs)
    : intervalMs_(intervalMs) {
  listenFd_ = listenOnLoopback(&port_);
  if (listenFd_ >= 0) thread_ = std::thread([this] { run(); });
}

DribblingHeaderServer::~DribblingHeaderServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  stopping_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) close(listenFd_);
}

std::string DribblingHeaderServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

int DribblingHeaderServer::linesSent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return linesSent_;
}

// Polls in short steps so that a stop is seen at once.
void DribblingHeaderServer::run() {
  while (pause(0)) {
    pollfd listening = {listenFd_, POLLIN, 0};
    if (poll(&listening, 1, 20) <= 0) continue;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    dribble(fd);
    close(fd);
  }
}

void DribblingHeaderServer::dribble(int fd) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    pollfd readable = {fd, POLLIN, 0};
    if (!pause(0)) return;
    if (poll(&readable, 1, 20) <= 0) continue;
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, static_cast<size_t>(got));
  }
  std::string line = "HTTP/1.1 200 OK\r\n";
  for (int n = 1; send(fd, line.data(), line.size(), MSG_NOSIGNAL) ==
                  static_cast<ssize_t>(line.size());
       ++n) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++linesSent_;
    }
    if (!pause(intervalMs_)) return;
    line = "X-Line-" + std::to_string(n) + ": still there\r\n";
  }
}

bool DribblingHeaderServer::pause(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  stopping_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                     [this] { return stopped_; });
  return !stopped_;
}

namespace {

bool openssl(const std::vector<std::string>& args, const std::string& dir) {
  std::vector<std::string> argv = {"openssl"};
  argv.insert(argv.end(), args.begin(), args.end());
  ProcessResult result = runProcess(argv, {"PATH=/usr/bin:/bin"}, dir, 30);
  EXPECT_EQ(result.exitCode, 0) << args[0] << ": " << result.err;
  return result.exitCode == 0;
}

// EC keys: made in a moment, unlike RSA ones.
const std::vector<std::string> kNewKey = {
    "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};

std::vector<std::string> joined(std::vector<std::string> head,
                                const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

bool hashedCopy(const std::string& file, const std::string& dir) {
  makeDirs(dir);
  writeFile(dir + "/ca.pem", readFile(file));
  return openssl({"rehash", "."}, dir);
}

}  // namespace

bool makeTestCertificates(const std::string& dir, TestCertificates* made) {
  *made = {dir + "/ca.pem", dir + "/hashed", dir + "/server.pem",
           dir + "/server.key"};
  makeDirs(dir);
  writeFile(dir + "/server.ext",
            "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
            "extendedKeyUsage=serverAuth\n");
  return openssl(joined({"req", "-x509", "-days", "1", "-subj", "/CN=Test CA",
                         "-keyout", "ca.key", "-out", "ca.pem"},
                        kNewKey),
                 dir) &&
         openssl(joined({"req", "-subj", "/CN=127.0.0.1", "-keyout",
                         "server.key", "-out", "server.csr"},
                        kNewKey),
                 dir) &&
         openssl({"x509", "-req", "-days", "1", "-in", "server.csr", "-CA",
                  "ca.pem", "-CAkey", "ca.key", "-set_serial", "2",
                  "-extfile", "server.ext", "-out", "server.pem"},
                 dir) &&
         hashedCopy(made->caFile, made->caDir);
}

std::string gzipped(const std::string& bytes) {
  ScratchTree tree;
  writeFile(tree.at("plain"), bytes);
  ProcessResult result = runProcess({"gzip", "-c", "-n", tree.at("plain")},
                                    {"PATH=/usr/bin:/bin"}, "", 30);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  return result.out;
}

int refusedPort() {
  int port = 0;
  int fd = listenOnLoopback(&port);
  if (fd >= 0) close(fd);
  return port;
}
