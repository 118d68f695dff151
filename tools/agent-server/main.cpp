// agent-server: a vendor's test server for the download road. Serves an
// install-agent archive, or a directory of them, on 127.0.0.1 over HTTP or
// HTTPS with strong ETags, optionally at the pace of a slow link; see
// kServerUsage.

#include <arpa/inet.h>
#include <errno.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "byte_ranges.h"
#include "common/text.h"
#include "entity_tags.h"
#include "paced_reader.h"
#include "served_file.h"
#include "server_options.h"

namespace {

// A signature file is a few lines of text, and shown as such when opened
// in a browser to look at it.
const char* contentTypeOf(const std::string& path) {
  if (endsWith(path, ".zip")) return "application/zip";
  if (endsWith(path, kSignatureSuffix)) return "text/plain";
  return "application/octet-stream";
}

void answer(const ServedFiles& files, int64_t rate,
            const httplib::Request& request, httplib::Response& response) {
  std::shared_ptr<ServedFile> file = files.open(request.path);
  if (!file) {
    response.status = 404;
    response.set_content("No such file here.\n", "text/plain");
    return;
  }
  response.set_header("ETag", file->etag);
  if (noneMatchNames(request.get_header_value("If-None-Match"), file->etag)) {
    response.status = 304;
    return;
  }
  // The library applies the ranges it parsed once this handler returns,
  // so they are put right here: a Range counts only for the copy its
  // If-Range names (a stale copy gets the whole file), and never reaches
  // past the end.
  httplib::Ranges& ranges = const_cast<httplib::Request&>(request).ranges;
  if (request.has_header("If-Range") &&
      request.get_header_value("If-Range") != file->etag)
    ranges.clear();
  if (!ranges.empty() && !keepSatisfiableRanges(file->size, &ranges)) {
    response.status = 416;
    response.set_header("Content-Range",
                        "bytes */" + std::to_string(file->size));
    return;
  }
  const char* type = contentTypeOf(request.path);
  if (file->size == 0) {
    response.set_content("", type);
    return;
  }
  auto reader = std::make_shared<PacedReader>(file, rate);
  response.set_content_provider(
      static_cast<size_t>(file->size), type,
      [reader](size_t offset, size_t length, httplib::DataSink& sink) {
        return reader->send(offset, length, sink);
      });
}

void logRequest(const httplib::Request& request,
                const httplib::Response& response) {
  std::string range = request.get_header_value("Range");
  fprintf(stderr, "agent-server: %s %s%s%s -> %d\n", request.method.c_str(),
          request.path.c_str(), range.empty() ? "" : " ", range.c_str(),
          response.status);
}

// SO_REUSEADDR alone: a port in TIME_WAIT can be taken again, a port
// another server listens on cannot. The library's default, SO_REUSEPORT,
// would let a second agent-server share the port with the first, each
// getting some of the requests.
void listeningSocketOptions(int sock) {
  int yes = 1;
  setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

// Why listening on 127.0.0.1:port fails: the library keeps no errno, so
// the attempt is made once more here.
std::string listenFailure(int port) {
  std::string address = "127.0.0.1" + (port ? ":" + std::to_string(port) : "");
  int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int error = sock < 0 ? errno : 0;
  if (sock >= 0) {
    listeningSocketOptions(sock);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(sock, 1) != 0)
      error = errno;
    close(sock);
  }
  return "cannot listen on " + address +
         (error ? std::string(": ") + strerror(error) : "");
}

int fail(const std::string& message) {
  fprintf(stderr, "agent-server: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  ServerOptions options;
  std::string error;
  if (!parseServerOptions(argc, argv, &options, &error)) {
    fprintf(stderr, "agent-server: %s\n%s", error.c_str(), kServerUsage);
    return 2;
  }
  if (options.asked == Asked::kHelp) {
    fputs(kServerUsage, stdout);
    return 0;
  }
  if (options.asked == Asked::kVersion) {
    printf("agent-server %s\n", BOOTSTRAP_VERSION);
    return 0;
  }
  ServedFiles files;
  if (!files.init(options.path, &error)) return fail(error);

  // A client that hangs up mid-reply must not end the server.
  signal(SIGPIPE, SIG_IGN);
  const bool tls = !options.certFile.empty();
  std::unique_ptr<httplib::Server> server;
  if (tls)
    server.reset(new httplib::SSLServer(options.certFile.c_str(),
                                        options.keyFile.c_str()));
  else
    server.reset(new httplib::Server);
  if (!server->is_valid())
    return fail("cannot use " + options.certFile + " and " + options.keyFile);

  const int64_t rate = options.rate;
  server->Get(".*", [&files, rate](const httplib::Request& request,
                                   httplib::Response& response) {
    answer(files, rate, request, response);
  });
  server->set_logger(logRequest);
  server->set_socket_options(listeningSocketOptions);

  int port = options.port;
  if (port == 0)
    port = server->bind_to_any_port("127.0.0.1");
  else if (!server->bind_to_port("127.0.0.1", port))
    port = -1;
  if (port <= 0) return fail(listenFailure(options.port));
  printf("%s://127.0.0.1:%d%s\n", tls ? "https" : "http", port,
         files.announcedPath().c_str());
  fflush(stdout);
  return server->listen_after_bind() ? 0 : 1;
}
