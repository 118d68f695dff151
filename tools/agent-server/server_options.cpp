#include "server_options.h"

#include "common/text.h"
#include "shared/command_line.h"

const char kServerUsage[] =
    "usage: agent-server [--port N] [--rate BYTES_PER_SECOND]\n"
    "                    [--cert CERT.pem --key KEY.pem] PATH\n"
    "\n"
    "Serves an install-agent archive, or every file of a directory, on\n"
    "127.0.0.1 for trying a bundle's download road, and prints the URL once\n"
    "it listens. Each file is served at /<its name>, with a strong ETag made\n"
    "from its bytes; HEAD, Range and If-None-Match requests are answered.\n"
    "\n"
    "  PATH             an archive (served under its own name, and its\n"
    "                   signature PATH.minisig too when that exists) or a\n"
    "                   directory\n"
    "  --port N         listen on port N (default: any free port)\n"
    "  --rate B         send each body at about B bytes a second, to watch\n"
    "                   the download window on a slow link\n"
    "  --cert, --key    serve HTTPS with this PEM certificate (chain) and key\n"
    "  -h, --help       this text\n"
    "  --version        the kit's version\n"
    "\n"
    "An option's value may also follow it after '=', as in --port=N.\n";

namespace {

// A whole decimal number in [min, max].
bool parseNumber(const std::string& text, int64_t min, int64_t max,
                 int64_t* value) {
  return parseDecimal(text, max, value) && *value >= min;
}

TakeWordFn portIn(int* port) {
  return [port](const std::string& value, std::string* error) {
    int64_t number = 0;
    if (!parseNumber(value, 1, 65535, &number)) {
      *error = "--port takes a port number from 1 to 65535";
      return false;
    }
    *port = static_cast<int>(number);
    return true;
  };
}

TakeWordFn rateIn(int64_t* rate) {
  return [rate](const std::string& value, std::string* error) {
    if (!parseNumber(value, 1, INT64_MAX, rate)) {
      *error = "--rate takes a positive number of bytes a second";
      return false;
    }
    return true;
  };
}

TakeWordFn pathIn(std::string* path) {
  return [path](const std::string& word, std::string* error) {
    if (!path->empty()) {
      *error = "one PATH only";
      return false;
    }
    *path = word;
    return true;
  };
}

}  // namespace

bool parseServerOptions(int argc, char** argv, ServerOptions* options,
                        std::string* error) {
  const CommandLineGrammar grammar = {
      {{"--port", portIn(&options->port)},
       {"--rate", rateIn(&options->rate)},
       {"--cert", keepIn(&options->certFile)},
       {"--key", keepIn(&options->keyFile)}},
      {},
      pathIn(&options->path)};
  if (!readCommandLine(argc, argv, grammar, &options->asked, error))
    return false;
  if (options->asked != Asked::kRun) return true;
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
