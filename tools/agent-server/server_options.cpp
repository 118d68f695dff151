#include "server_options.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

const char kServerUsage[] =
    "usage: agent-server [--port N] [--rate BYTES_PER_SECOND]\n"
    "                    [--cert CERT.pem --key KEY.pem] PATH\n"
    "\n"
    "Serves an install-agent archive, or every file of a directory, on\n"
    "127.0.0.1 for trying a bundle's download road, and prints the URL once\n"
    "it listens. Each file is served at /<its name>, with a strong ETag made\n"
    "from its bytes; HEAD, Range and If-None-Match requests are answered.\n"
    "\n"
    "  PATH             an archive (served under its own name) or a directory\n"
    "  --port N         listen on port N (default: any free port)\n"
    "  --rate B         send each body at about B bytes a second, to watch\n"
    "                   the download window on a slow link\n"
    "  --cert, --key    serve HTTPS with this PEM certificate (chain) and key\n"
    "  -h, --help       this text\n";

namespace {

// A whole decimal number in [min, max].
bool parseNumber(const char* text, int64_t min, int64_t max, int64_t* value) {
  char* end = nullptr;
  errno = 0;
  long long parsed = strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || parsed < min || parsed > max)
    return false;
  *value = parsed;
  return true;
}

}  // namespace

bool parseServerOptions(int argc, char** argv, ServerOptions* options,
                        std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      options->help = true;
      return true;
    }
    bool takesValue =
        arg == "--port" || arg == "--rate" || arg == "--cert" || arg == "--key";
    if (takesValue && i + 1 == argc) {
      *error = arg + " needs a value";
      return false;
    }
    int64_t number = 0;
    if (arg == "--port") {
      if (!parseNumber(argv[++i], 1, 65535, &number)) {
        *error = "--port takes a port number from 1 to 65535";
        return false;
      }
      options->port = static_cast<int>(number);
    } else if (arg == "--rate") {
      if (!parseNumber(argv[++i], 1, INT64_MAX, &options->rate)) {
        *error = "--rate takes a positive number of bytes a second";
        return false;
      }
    } else if (arg == "--cert") {
      options->certFile = argv[++i];
    } else if (arg == "--key") {
      options->keyFile = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (!options->path.empty()) {
      *error = "one PATH only";
      return false;
    } else {
      options->path = arg;
    }
  }
  if (options->path.empty()) {
    *error = "no PATH to serve";
    return false;
  }
  if (options->certFile.empty() != options->keyFile.empty()) {
    *error = "--cert and --key go together";
    return false;
  }
  return true;
}
