#include "bundle_options.h"

#include "shared/command_line.h"

const char kBundleUsage[] =
    "usage: make-bundle --payload BUNDLE.zip\n"
    "                   (--url URL [--public-key FILE] | --agent AGENT.zip)\n"
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
    "  --public-key FILE  minisign public keys (one, or several one after\n"
    "                     another), shipped as installAgentKey.pub: the\n"
    "                     bundle then runs a downloaded agent only when\n"
    "                     one of them signed it, the signature downloaded\n"
    "                     from the URL with .minisig added to its path\n"
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
    "  --version          the kit's version\n"
    "\n"
    "An option's value may also follow it after '=', as in --url=URL.\n"
    "\n"
    "Exit status: 0 when the bundle was made, and for --help and\n"
    "--version; 1 when an input was refused or the bundle could not be\n"
    "written (nothing is left behind); 2 when the command line does not\n"
    "parse.\n";

namespace {

TakeWordFn outputIn(std::string* output) {
  return [output](const std::string& word, std::string* error) {
    if (!output->empty()) {
      *error = "one OUTPUT only (" + *output + " and " + word + ")";
      return false;
    }
    *output = word;
    return true;
  };
}

// The combinations that cannot make a bundle.
bool checkCombination(const BundleOptions& options, std::string* error) {
  if (options.payload.empty())
    *error = "--payload is required";
  else if (options.url.empty() == options.agent.empty())
    *error = "give exactly one of --url and --agent";
  else if (!options.publicKey.empty() && !options.agent.empty())
    *error =
        "--public-key goes with --url only: a shipped agent is not verified";
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
  const CommandLineGrammar grammar = {
      {{"--payload", keepIn(&options->payload)},
       {"--url", keepIn(&options->url)},
       {"--agent", keepIn(&options->agent)},
       {"--public-key", keepIn(&options->publicKey)},
       {"--splash", keepIn(&options->splash)},
       {"--executable", keepIn(&options->executable)},
       {"--module", keepIn(&options->module)}},
      {{"--app", &options->app}, {"--no-module", &options->noModule}},
      outputIn(&options->output)};
  if (!readCommandLine(argc, argv, grammar, &options->asked, error))
    return false;
  return options->asked != Asked::kRun || checkCombination(*options, error);
}
