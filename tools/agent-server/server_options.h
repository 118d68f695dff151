#ifndef BOOTSTRAP_TOOLS_AGENT_SERVER_SERVER_OPTIONS_H_
#define BOOTSTRAP_TOOLS_AGENT_SERVER_SERVER_OPTIONS_H_

#include <stdint.h>

#include <string>

#include "shared/command_line.h"

struct ServerOptions {
  std::string path;  // one archive, or a directory of files
  int port = 0;      // 0: any free port
  int64_t rate = 0;  // body bytes a second per reply; 0: as fast as it goes
  std::string certFile, keyFile;  // both set: HTTPS
  Asked asked = Asked::kRun;
};

// Fills *options from the command line; false with *error set when it
// does not parse.
bool parseServerOptions(int argc, char** argv, ServerOptions* options,
                        std::string* error);

extern const char kServerUsage[];

#endif
