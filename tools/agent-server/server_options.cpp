#include "server_options.h"

#include "common/text.h"

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
    "  -h, --help       this text\n"
    "\n"
    "An option's value may also follow it after '=', as in --port=N.\n";

namespace {

// A whole decimal number in [min, max].
bool parseNumber(const std::string& text, int64_t min, int64_t max,
                 int64_t* value) {
  return parseDecimal(text, max, value) && *value >= min;
}

// The options that take a value.
bool takesValue(const std::string& name) {
  return name == "--port" || name == "--rate" || name == "--cert" ||
         name == "--key";
}

bool takeValue(const std::string& name, const std::string& value,
               ServerOptions* options, std::string* error) {
  int64_t number = 0;
  if (name == "--port") {
    if (!parseNumber(value, 1, 65535, &number)) {
      *error = "--port takes a port number from 1 to 65535";
      return false;
    }
    options->port = static_cast<int>(number);
  } else if (name == "--rate") {
    if (!parseNumber(value, 1, INT64_MAX, &options->rate)) {
      *error = "--rate takes a positive number of bytes a second";
      return false;
    }
  } else if (name == "--cert") {
    options->certFile = value;
  } else {
    options->keyFile = value;
  }
  return true;
}

// Anything else: a flag, or the PATH.
bool takeArgument(const std::string& arg, ServerOptions* options,
                  std::string* error) {
  if (arg == "-h" || arg == "--help") {
    options->help = true;
  } else if (arg.size() > 1 && arg[0] == '-') {
    *error = "unknown option " + arg;
    return false;
  } else if (!options->path.empty()) {
    *error = "one PATH only";
    return false;
  } else {
    options->path = arg;
  }
  return true;
}

}  // namespace

bool parseServerOptions(int argc, char** argv, ServerOptions* options,
                        std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i], value;
    bool joined =
        name.compare(0, 2, "--") == 0 && name.find('=') != std::string::npos;
    if (joined) {  // --name=value
      value = name.substr(name.find('=') + 1);
      name = name.substr(0, name.find('='));
    }
    if (!takesValue(name)) {
      if (joined) {
        *error = name + " is no option that takes a value";
        return false;
      }
      if (!takeArgument(name, options, error)) return false;
      if (options->help) return true;
      continue;
    }
    if (!joined && i + 1 == argc) {
      *error = name + " needs a value";
      return false;
    }
    if (!joined) value = argv[++i];
    if (value.empty()) {
      *error = name + " needs a value";
      return false;
    }
    if (!takeValue(name, value, options, error)) return false;
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
