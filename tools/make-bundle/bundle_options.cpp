#include "bundle_options.h"

#include <vector>

const char kBundleUsage[] =
    "usage: make-bundle --payload BUNDLE.zip (--url URL | --agent AGENT.zip)\n"
    "                   [--splash SPLASH.png] [--app] [--executable FILE]\n"
    "                   [--module FILE | --no-module] OUTPUT\n"
    "\n"
    "Makes OUTPUT, a bundle ready to ship: the bootstrap-installer\n"
    "executable, its desktop window module, the payload, and either the\n"
    "install agent archive or the URL to download it from. Every input is\n"
    "checked first; OUTPUT appears only when it is complete, and never\n"
    "replaces anything.\n"
    "\n"
    "  --payload FILE     the payload, a zip archive; handed to the agent\n"
    "                     as bundle.zip\n"
    "  --url URL          the http or https address of the agent archive,\n"
    "                     written to installAgentURL.txt; the agent is\n"
    "                     downloaded into the user's cache when the\n"
    "                     bundle runs\n"
    "  --agent FILE       the agent archive, a zip with an install script\n"
    "                     at its top level, shipped as InstallAgent.zip\n"
    "  --splash FILE      a PNG picture shown in the desktop download\n"
    "                     window, shipped as splash.png; shown only\n"
    "                     while the agent downloads, so never with --agent\n"
    "  --app              make OUTPUT (named like Name.app) in the layout\n"
    "                     OUTPUT/Contents/MacOS (executable, module) and\n"
    "                     OUTPUT/Contents/Resources (everything else);\n"
    "                     without it, everything goes straight into OUTPUT\n"
    "  --executable FILE  the bootstrap-installer to ship (default: the\n"
    "                     one beside make-bundle)\n"
    "  --module FILE      the desktop window module to ship (default: the\n"
    "                     one beside make-bundle, or in\n"
    "                     ../" BOOTSTRAP_MODULE_INSTALL_DIR "/; when there is none\n"
    "                     the bundle shows its download on the console\n"
    "                     only, and make-bundle says so)\n"
    "  --no-module        ship no desktop window module\n"
    "  -h, --help         this text\n"
    "\n"
    "An option's value may also follow it after '=', as in --url=URL.\n"
    "\n"
    "Exit status: 0 when the bundle was made; 1 when an input was refused\n"
    "or the bundle could not be written (nothing is left behind); 2 when\n"
    "the command line does not parse.\n";

namespace {

// The options that take a value, and where it goes.
struct ValueOption {
  const char* name;
  std::string BundleOptions::*field;
};
const ValueOption kValueOptions[] = {
    {"--payload", &BundleOptions::payload},
    {"--url", &BundleOptions::url},
    {"--agent", &BundleOptions::agent},
    {"--splash", &BundleOptions::splash},
    {"--executable", &BundleOptions::executable},
    {"--module", &BundleOptions::module},
};

const ValueOption* findValueOption(const std::string& name) {
  for (const ValueOption& option : kValueOptions)
    if (name == option.name) return &option;
  return nullptr;
}

bool takeArgument(const std::string& arg, BundleOptions* options,
                  std::string* error) {
  if (arg == "-h" || arg == "--help") {
    options->help = true;
  } else if (arg == "--app") {
    options->app = true;
  } else if (arg == "--no-module") {
    options->noModule = true;
  } else if (arg.size() > 1 && arg[0] == '-') {
    *error = "unknown option " + arg;
    return false;
  } else if (!options->output.empty()) {
    *error = "one OUTPUT only (" + options->output + " and " + arg + ")";
    return false;
  } else {
    options->output = arg;
  }
  return true;
}

// The combinations that cannot make a bundle.
bool checkCombination(const BundleOptions& options, std::string* error) {
  if (options.payload.empty())
    *error = "--payload is required";
  else if (options.url.empty() == options.agent.empty())
    *error = "give exactly one of --url and --agent";
  else if (!options.module.empty() && options.noModule)
    *error = "--module and --no-module exclude each other";
  else if (options.output.empty())
    *error = "no OUTPUT given";
  return error->empty();
}

}  // namespace

bool parseBundleOptions(int argc, char** argv, BundleOptions* options,
                        std::string* error) {
  error->clear();
  std::vector<std::string> args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    bool joined =
        name.compare(0, 2, "--") == 0 && name.find('=') != std::string::npos;
    if (joined) {  // --name=value
      value = name.substr(name.find('=') + 1);
      name = name.substr(0, name.find('='));
    }
    const ValueOption* option = findValueOption(name);
    if (!option) {
      if (joined) {
        *error = name + " is no option that takes a value";
        return false;
      }
      if (!takeArgument(name, options, error)) return false;
      if (options->help) return true;
      continue;
    }
    if (!joined && i + 1 == args.size()) {
      *error = name + " needs a value";
      return false;
    }
    if (!joined) value = args[++i];
    if (value.empty()) {
      *error = name + " needs a value";
      return false;
    }
    options->*option->field = value;
  }
  return checkCombination(*options, error);
}
