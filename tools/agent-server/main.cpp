// agent-server: serves an install-agent archive over HTTP on 127.0.0.1
// with a strong ETag, so a bundle's download road can be tried locally.
//
//   agent-server ARCHIVE [--port N]
//
// Prints the archive's URL on standard output once it listens, then serves
// it at every path until interrupted.

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <httplib.h>

namespace {

// A strong validator from the bytes themselves (64-bit FNV-1a and size).
std::string strongEtag(int fd, off_t size) {
  uint64_t hash = 1469598103934665603ULL;
  char buffer[1 << 16];
  ssize_t n;
  for (off_t offset = 0; (n = pread(fd, buffer, sizeof buffer, offset)) > 0;
       offset += n)
    for (ssize_t i = 0; i < n; ++i)
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ULL;
  char etag[64];
  snprintf(etag, sizeof etag, "\"%016llx-%llx\"",
           static_cast<unsigned long long>(hash),
           static_cast<unsigned long long>(size));
  return etag;
}

int usage() {
  fprintf(stderr, "usage: agent-server ARCHIVE [--port N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && strcmp(argv[2], "--port") == 0))
    return usage();
  int port = argc == 4 ? atoi(argv[3]) : 0;
  int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    fprintf(stderr, "agent-server: cannot read %s\n", argv[1]);
    return 1;
  }
  const size_t size = static_cast<size_t>(st.st_size);
  const std::string etag = strongEtag(fd, st.st_size);

  httplib::Server server;
  server.Get(".*", [&](const httplib::Request& request,
                       httplib::Response& response) {
    fprintf(stderr, "agent-server: GET %s\n", request.path.c_str());
    response.set_header("ETag", etag);
    response.set_content_provider(
        size, "application/zip",
        [fd](size_t offset, size_t length, httplib::DataSink& sink) {
          char buffer[1 << 16];
          ssize_t n = pread(fd, buffer, std::min(length, sizeof buffer),
                            static_cast<off_t>(offset));
          return n > 0 && sink.write(buffer, static_cast<size_t>(n));
        });
  });
  if (port == 0) {
    port = server.bind_to_any_port("127.0.0.1");
  } else if (!server.bind_to_port("127.0.0.1", port)) {
    port = -1;
  }
  if (port < 0) {
    fprintf(stderr, "agent-server: cannot listen on 127.0.0.1\n");
    return 1;
  }
  printf("http://127.0.0.1:%d/InstallAgent.zip\n", port);
  fflush(stdout);
  return server.listen_after_bind() ? 0 : 1;
}
