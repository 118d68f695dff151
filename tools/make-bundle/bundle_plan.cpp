#include "bundle_plan.h"

#include <sys/stat.h>
#include <unistd.h>

#include "bundle_licenses.h"
#include "input_checks.h"
#include "public_key_file.h"
#include "shipped_tools.h"
#include "common/text.h"
#include "ui/desktop_module.h"

namespace {

std::string checkOutput(const std::string& output, bool app) {
  if (app && (!endsWith(output, ".app") || baseNameOf(output) == ".app"))
    return "with --app, OUTPUT must be named like Name.app, not " + output;
  struct stat st;
  if (lstat(output.c_str(), &st) == 0) return output + " already exists";
  std::string parent = parentOf(output);
  if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return "the directory " + parent + " that is to hold " + output +
           " does not exist";
  return "";
}

std::string checkExecutable(const std::string& path) {
  if (path.empty())
    return "no bootstrap-installer beside make-bundle; name one with "
           "--executable";
  std::string error = checkReadableFile("executable", path);
  if (error.empty() && access(path.c_str(), X_OK) != 0)
    error = "the executable " + path + " is not executable";
  return error;
}

// The first complaint of the checks, in the order the vendor gave them;
// the public key file's text, checked, into *publicKey.
std::string checkInputs(const BundleOptions& options, std::string* publicKey) {
  std::string error = checkOutput(bundleDirectory(options), options.app);
  if (error.empty()) error = checkPayload(options.payload);
  if (error.empty() && !options.agent.empty())
    error = checkAgentArchive(options.agent);
  if (error.empty() && !options.url.empty()) error = checkAgentUrl(options.url);
  if (error.empty() && !options.publicKey.empty())
    error = readPublicKeyFile(options.publicKey, publicKey);
  if (error.empty() && !options.splash.empty())
    error = checkSplash(options.splash);
  if (error.empty() && !options.module.empty())
    error = checkReadableFile("desktop window module", options.module);
  return error;
}

BundleEntry copied(const std::string& source, const std::string& target,
                   mode_t mode = 0644) {
  BundleEntry entry;
  entry.source = source;
  entry.target = target;
  entry.mode = mode;
  return entry;
}

BundleEntry written(const std::string& content, const std::string& target) {
  BundleEntry entry;
  entry.content = content;
  entry.target = target;
  return entry;
}

}  // namespace

std::string bundleDirectory(const BundleOptions& options) {
  std::string output = options.output;
  while (output.size() > 1 && output.back() == '/') output.pop_back();
  return output;
}

bool planBundle(const BundleOptions& options, std::vector<BundleEntry>* entries,
                std::vector<std::string>* notes, std::string* error) {
  std::string publicKey;
  *error = checkInputs(options, &publicKey);
  std::string executable =
      options.executable.empty() ? defaultExecutable() : options.executable;
  if (error->empty()) *error = checkExecutable(executable);
  if (!error->empty()) return false;

  std::string module = options.module;
  if (module.empty() && !options.noModule) module = defaultModule();
  if (module.empty() && !options.noModule)
    notes->push_back(std::string("note: no ") + kDesktopModuleName +
                     " beside make-bundle or in " + kInstalledModuleDir +
                     "/: the bundle shows its download on the console only");

  if (!options.app && endsWith(bundleDirectory(options), ".app"))
    notes->push_back(
        "note: " + bundleDirectory(options) +
        " is named like an .app but --app was not given: the plain layout "
        "was made (the executable beside its files); --app makes "
        "Contents/MacOS and Contents/Resources");

  if (!options.splash.empty() && !options.agent.empty())
    notes->push_back(
        "warning: the splash picture is shown only while the agent "
        "downloads, and a bundle that ships its agent never downloads it");

  const std::string exeDir = options.app ? "Contents/MacOS/" : "";
  const std::string resources = options.app ? "Contents/Resources/" : "";
  entries->push_back(copied(executable, exeDir + "bootstrap-installer", 0755));
  entries->push_back(written(kBundleLicenses, exeDir + kBundleLicensesName));
  if (!module.empty())
    entries->push_back(copied(module, exeDir + kDesktopModuleName, 0755));
  entries->push_back(copied(options.payload, resources + "bundle.zip"));
  if (!options.agent.empty()) {
    entries->push_back(copied(options.agent, resources + "InstallAgent.zip"));
  } else {
    entries->push_back(written(options.url + "\n",
                               resources + "installAgentURL.txt"));
  }
  // The text that was checked, not the file again, which may have changed.
  if (!options.publicKey.empty())
    entries->push_back(written(publicKey, resources + "installAgentKey.pub"));
  if (!options.splash.empty())
    entries->push_back(copied(options.splash, resources + "splash.png"));
  return true;
}
