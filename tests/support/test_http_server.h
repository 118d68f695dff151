#ifndef BOOTSTRAP_TESTS_SUPPORT_TEST_HTTP_SERVER_H_
#define BOOTSTRAP_TESTS_SUPPORT_TEST_HTTP_SERVER_H_

#include <stddef.h>
#include <stdint.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class DataSink;
class Server;
struct Request;
struct Response;
}  // namespace httplib

// How the server answers a GET (or HEAD) of one path.
struct TestReply {
  int status = 200;
  // Sent as given, besides those the server sets itself: Content-Type
  // (application/octet-stream), Content-Length or Transfer-Encoding, and
  // Connection: close (each connection serves one request).
  std::vector<std::pair<std::string, std::string>> headers;
  // The body: this text, or, when generatedSize >= 0, that many bytes of
  // TestHttpServer::generatedBody.
  std::string body;
  int64_t generatedSize = -1;
  // False: no Content-Length; the body goes out chunked.
  bool contentLength = true;
  // >= 0: only this many body bytes go out, then the connection is closed
  // (with contentLength, after the whole size was announced).
  int64_t cutAfter = -1;
  // The body goes out in writes of chunkSize bytes, each after a pause of
  // chunkDelayMs (the first one too, so a long pause makes the server fall
  // silent after the header).
  size_t chunkSize = 64 * 1024;
  int chunkDelayMs = 0;
  // A request for "Range: bytes=N-" gets 206 and the body from N (sent
  // chunked, with Content-Range), unless its If-Range differs from the
  // reply's ETag header.
  bool acceptRanges = false;
  // With acceptRanges: If-Range is not looked at, as by a server that
  // sends the range of whatever it has now.
  bool ignoreIfRange = false;
  // A request whose If-None-Match names the reply's ETag gets 304 and no
  // body.
  bool conditional = false;
  // >= 0: the body stops after this byte, the connection left open and
  // silent until the server stops (or a minute has passed).
  int64_t stallAfter = -1;
};

// An HTTP (or HTTPS) server on 127.0.0.1, on an ephemeral port, serving
// scripted replies from threads of its own. Paths that were not scripted get 404.
// Destroy clients (sessions, child processes) before the server: a
// transfer to a client that neither reads nor closes holds up its stop.
class TestHttpServer {
 public:
  // Listening when it returns.
  TestHttpServer();
  // The same over TLS, with the PEM certificate (chain) and key in these
  // files.
  TestHttpServer(const std::string& certFile, const std::string& keyFile);
  // Cuts short replies still in progress (pauses included), stops and
  // joins its threads.
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path, or https: over TLS
  std::string url(const std::string& path) const;

  // Scripts (or rescripts) the reply for path; callable at any time.
  void serve(const std::string& path, const TestReply& reply);
  // A reply for the next request of path only; queued ones go out in
  // order before the scripted one.
  void serveOnce(const std::string& path, const TestReply& reply);

  // Requests received for path so far (scripted or not).
  int requestCount(const std::string& path) const;
  // The header name of each request of path so far, "" where it had none.
  std::vector<std::string> requestHeaders(const std::string& path,
                                          const std::string& name) const;
  // Body bytes of path's replies that the server wrote to its sockets,
  // summed over its requests. A write in progress counts already and is
  // taken back if it fails; a client that hangs up stops the count within
  // a chunk or two.
  int64_t bytesSent(const std::string& path) const;

  // The bytes that generatedSize serves: a pattern of period 251, so a
  // chunk out of place (chunks are powers of two) shows.
  static std::string generatedBody(int64_t size);

 private:
  // Replies are shared, never copied per request: a body of many
  // megabytes would cost each request its copy.
  using SharedReply = std::shared_ptr<const TestReply>;
  struct PathState {
    SharedReply reply;
    std::vector<SharedReply> once;
    int requests = 0;
    std::vector<std::map<std::string, std::string>> requestHeaders;
    int64_t bytesSent = 0;
  };

  void start();
  void handle(const httplib::Request& request, httplib::Response& response);
  // The reply for a request of path, and counts it; null when not scripted.
  SharedReply nextReply(const httplib::Request& request);
  bool sendChunk(const std::string& path, const TestReply& reply, size_t offset,
                 httplib::DataSink& sink);
  void addSent(const std::string& path, int64_t bytes);
  bool pause(int milliseconds);

  std::unique_ptr<httplib::Server> server_;
  const char* scheme_ = "http";
  int port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;  // guards what follows
  std::condition_variable stopping_;
  bool stopped_ = false;
  std::map<std::string, PathState> paths_;
};

// A server on 127.0.0.1 that reads each request and answers with a status
// line followed by one more header line every intervalMs, never ending
// its header: it keeps talking yet never answers. One connection at a
// time; the next is taken once the client hangs up.
class DribblingHeaderServer {
 public:
  explicit DribblingHeaderServer(int intervalMs);
  // Stops at once, also in the middle of a pause.
  ~DribblingHeaderServer();
  DribblingHeaderServer(const DribblingHeaderServer&) = delete;
  DribblingHeaderServer& operator=(const DribblingHeaderServer&) = delete;

  std::string url(const std::string& path) const;
  // Lines of header written so far (status lines too), over all connections.
  int linesSent() const;

 private:
  void run();
  void dribble(int fd);
  // Sleeps unless stopping first; false when stopping.
  bool pause(int milliseconds);

  const int intervalMs_;
  int listenFd_ = -1;
  int port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;  // guards what follows
  std::condition_variable stopping_;
  bool stopped_ = false;
  int linesSent_ = 0;
};

// A test CA, and a certificate for IP 127.0.0.1 that it signed with its
// key, made by the openssl tool in a directory; valid for a day. caDir
// holds the CA alone, hashed as OpenSSL looks certificates up.
struct TestCertificates {
  std::string caFile, caDir, certFile, keyFile;
};
// False (and a test failure) when the tool fails.
bool makeTestCertificates(const std::string& dir, TestCertificates* made);

// bytes compressed by the gzip tool, as a server sends them with
// Content-Encoding: gzip.
std::string gzipped(const std::string& bytes);

// A port on 127.0.0.1 where nothing listens: it was free a moment ago.
int refusedPort();

#endif
