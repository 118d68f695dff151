#include "e2e/bundle_fixture.h"

namespace {

// Records its $0, its arguments (NUL-separated), the scratch area it saw,
// and one line per run; sleeps $AGENT_SLEEP seconds, so that a test can
// look at the installer while the agent runs; says $AGENT_SAYS on standard
// error, if set, and exits with $AGENT_EXIT.
// With $AGENT_TRAP set, INT, TERM or HUP end the sleep at once; the agent
// records the signal's name, takes $AGENT_TRAP seconds to finish, records
// "exiting" and exits with 7. Its traps are set before the run is recorded.
const char kRecordingAgent[] =
    "if [ -n \"$AGENT_TRAP\" ]; then\n"
    "  for s in INT TERM HUP; do\n"
    "    trap \"echo $s >> \\\"\\$AGENT_RECORD.signals\\\";"
    " kill \\$! 2>/dev/null; sleep \\$AGENT_TRAP;"
    " echo exiting >> \\\"\\$AGENT_RECORD.signals\\\";"
    " exit 7\" $s\n"
    "  done\n"
    "fi\n"
    "self=$(stat -c %i \"$0\")\n"
    "printf '%s\\0' \"$0\" \"$@\" > \"$AGENT_RECORD\"\n"
    "ls \"$TMPDIR\" > \"$AGENT_RECORD.tmpdir\" 2>/dev/null\n"
    "echo \"${AGENT_TAG:-default}\" >> \"$AGENT_RECORD.runs\"\n"
    "if [ -z \"$AGENT_TRAP\" ]; then\n"
    "  sleep \"${AGENT_SLEEP:-0}\"\n"
    "else\n"
    "  sleep \"${AGENT_SLEEP:-0}\" & wait $!\n"
    "fi\n"
    "[ \"$(stat -c %i \"$0\" 2>&1)\" = \"$self\" ] ||"
    " { echo replaced >> \"$AGENT_RECORD.runs\"; exit 9; }\n"
    "[ -z \"$AGENT_SAYS\" ] || echo \"$AGENT_SAYS\" >&2\n"
    "exit \"${AGENT_EXIT:-0}\"\n";

std::string nameOf(const std::string& entry) {
  return entry.substr(0, entry.find('='));
}

std::vector<std::string> splitNul(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t nul; (nul = text.find('\0', start)) != std::string::npos;
       start = nul + 1)
    parts.push_back(text.substr(start, nul - start));
  return parts;
}

}  // namespace

BundleFixture::BundleFixture() {
  home_ = tree_.at("home");
  tmpdir_ = tree_.at("tmp");
  cwd_ = tree_.at("cwd");
  makeDirs(home_);
  makeDirs(tmpdir_);
  makeDirs(cwd_);
  makeDirs(tree_.at("src"));
}

void BundleFixture::makeBundle(Layout layout, const std::string& name) {
  std::string top = tree_.at("apps/" + name);
  adoptBundle(layout, layout == Layout::kAppBundle ? top + ".app" : top);
  makeDirs(exeDir_);
  makeDirs(resources_);
  ProcessResult copy = runProcess({"cp", BOOTSTRAP_INSTALLER_PATH, exe_},
                                  {"PATH=/usr/bin:/bin"}, "", 30);
  ASSERT_EQ(copy.exitCode, 0) << copy.err;
  writeFile(resources_ + "/bundle.zip", readFile(makePayloadArchive()));
}

void BundleFixture::adoptBundle(Layout layout, const std::string& path) {
  bundlePath_ = path;
  if (layout == Layout::kAppBundle) {
    exeDir_ = bundlePath_ + "/Contents/MacOS";
    resources_ = bundlePath_ + "/Contents/Resources";
  } else {
    exeDir_ = resources_ = bundlePath_;
  }
  exe_ = exeDir_ + "/bootstrap-installer";
}

std::string BundleFixture::makePayloadArchive() {
  writeFile(tree_.at("src/payload.txt"), "payload");
  std::string archive = tree_.at("payload.zip");
  if (!pathExists(archive))
    makeZip(archive, tree_.at("src"), {"payload.txt"});
  return archive;
}

std::string BundleFixture::makeAgentArchive(const std::string& tag) {
  writeFile(tree_.at("src/install"),
            "AGENT_TAG=" + tag + "\n" + kRecordingAgent);
  std::string archive = tree_.at("agent-" + tag + ".zip");
  makeZip(archive, tree_.at("src"), {"install"});
  return archive;
}

void BundleFixture::addAgentArchive(const std::string& name,
                                    const std::string& tag) {
  writeFile(resources_ + "/" + name, readFile(makeAgentArchive(tag)));
}

void BundleFixture::setUrl(const std::string& url) {
  writeFile(resources_ + "/installAgentURL.txt", url + "\n");
}

std::string BundleFixture::cache() const {
  return home_ + "/.tarvik/app_installer_cache/Q4711x/darw64/";
}

void BundleFixture::copyBesideExecutable(const std::string& file) {
  ProcessResult copy =
      runProcess({"cp", file, exeDir_ + "/"}, {"PATH=/usr/bin:/bin"}, "", 30);
  ASSERT_EQ(copy.exitCode, 0) << copy.err;
}

std::string BundleFixture::unzipFirstOnPath(const std::string& script) {
  const std::string bin = tree_.at("bin");
  makeDirs(bin);
  writeExecutable(bin + "/unzip", script);
  return "PATH=" + bin + ":/usr/bin:/bin";
}

// getenv() finds the first of two equal names, so extras replace rather
// than follow.
std::vector<std::string> BundleFixture::environment(
    const std::vector<std::string>& extraEnv) {
  const std::vector<std::string> base = {"PATH=/usr/bin:/bin", "HOME=" + home_,
                                         "TMPDIR=" + tmpdir_,
                                         "AGENT_RECORD=" + tree_.at("record")};
  std::vector<std::string> env = extraEnv;
  for (const std::string& entry : base) {
    bool replaced = false;
    for (const std::string& extra : extraEnv)
      replaced = replaced || nameOf(extra) == nameOf(entry);
    if (!replaced) env.push_back(entry);
  }
  return env;
}

ProcessResult BundleFixture::run(const std::vector<std::string>& args,
                                 const std::vector<std::string>& extraEnv) {
  std::vector<std::string> argv = {exe_};
  argv.insert(argv.end(), args.begin(), args.end());
  ProcessResult result = runProcess(argv, environment(extraEnv), cwd_, 30);
  EXPECT_FALSE(result.timedOut);
  return result;
}

std::unique_ptr<BackgroundProcess> BundleFixture::start(
    const std::vector<std::string>& args,
    const std::vector<std::string>& extraEnv) {
  std::vector<std::string> argv = {exe_};
  argv.insert(argv.end(), args.begin(), args.end());
  return std::unique_ptr<BackgroundProcess>(
      new BackgroundProcess(argv, environment(extraEnv), cwd_));
}

std::vector<std::string> BundleFixture::agentCall() {
  return splitNul(readFile(tree_.at("record")));
}

std::string BundleFixture::agentRuns() {
  std::string runs = tree_.at("record.runs");
  return pathExists(runs) ? readFile(runs) : "";
}

std::string BundleFixture::agentSignals() {
  std::string signals = tree_.at("record.signals");
  return pathExists(signals) ? readFile(signals) : "";
}

std::string BundleFixture::agentSawInTmpdir() {
  return readFile(tree_.at("record.tmpdir"));
}
