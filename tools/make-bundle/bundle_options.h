#ifndef BOOTSTRAP_TOOLS_MAKE_BUNDLE_BUNDLE_OPTIONS_H_
#define BOOTSTRAP_TOOLS_MAKE_BUNDLE_BUNDLE_OPTIONS_H_

#include <string>

#include "shared/command_line.h"

struct BundleOptions {
  std::string payload;     // the payload archive, bundle.zip in the bundle
  std::string url;         // where the agent is downloaded from, or
  std::string agent;       // the agent archive shipped in the bundle
  std::string splash;      // optional picture for the download window
  std::string publicKey;   // keys a downloaded agent must be signed with
  bool app = false;        // the Name.app/Contents/{MacOS,Resources} layout
  std::string executable;  // empty: the one installed beside make-bundle
  std::string module;      // empty: likewise
  bool noModule = false;   // a console-only bundle
  std::string output;      // the bundle directory to make
  Asked asked = Asked::kRun;
};

// Fills *options from the command line; false with *error set when it
// does not parse. Whether the files are any good is checked later.
bool parseBundleOptions(int argc, char** argv, BundleOptions* options,
                        std::string* error);

extern const char kBundleUsage[];

#endif
