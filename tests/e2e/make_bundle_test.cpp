// make-bundle as a vendor uses it: bundles it makes run end to end, and
// every input it refuses leaves nothing behind.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/agent_server_process.h"
#include "e2e/bundle_fixture.h"

namespace {

using Strings = std::vector<std::string>;

const char kCache[] = "/.tarvik/app_installer_cache/Q4711x/darw64/";
const char kModule[] = "bootstrap-installer-gtk.so";
const char kPng[] = "\x89PNG\r\n\x1a\n and the rest of a picture";

// Every file below dir, by its path relative to dir, sorted.
Strings filesBelow(const std::string& dir, const std::string& prefix = "") {
  Strings files;
  for (const std::string& name : listDir(dir)) {
    struct stat st;
    std::string path = dir + "/" + name;
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      for (const std::string& file : filesBelow(path, prefix + name + "/"))
        files.push_back(file);
    } else {
      files.push_back(prefix + name);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool startsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

class MakeBundle : public BundleFixture {
 protected:
  MakeBundle() { makeDirs(tree_.at("out")); }

  ProcessResult makeBundleTool(const Strings& args,
                               const std::string& tool = MAKE_BUNDLE_PATH) {
    Strings argv = {tool};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult result =
        runProcess(argv, {"PATH=/usr/bin:/bin"}, tree_.at("out"), 60);
    EXPECT_FALSE(result.timedOut);
    return result;
  }
};

struct LayoutCase {
  const char* name;
  Layout layout;
  bool download;  // --url from agent-server, else --agent
  bool splash;
  Strings files;  // what the bundle holds
};

TEST_F(MakeBundle, BothLayoutsOfBothRoadsRunEndToEnd) {
  const LayoutCase cases[] = {
      {"plain-local",
       Layout::kPlainDirectory,
       false,
       false,
       {"InstallAgent.zip", "bootstrap-installer",
        "bootstrap-installer-licenses.txt", "bundle.zip"}},
      {"app-local",
       Layout::kAppBundle,
       false,
       true,
       {"Contents/MacOS/bootstrap-installer",
        "Contents/MacOS/bootstrap-installer-licenses.txt",
        "Contents/Resources/InstallAgent.zip", "Contents/Resources/bundle.zip",
        "Contents/Resources/splash.png"}},
      {"plain-download",
       Layout::kPlainDirectory,
       true,
       true,
       {"bootstrap-installer", "bootstrap-installer-licenses.txt",
        "bundle.zip", "installAgentURL.txt", "splash.png"}},
      {"app-download",
       Layout::kAppBundle,
       true,
       false,
       {"Contents/MacOS/bootstrap-installer",
        "Contents/MacOS/bootstrap-installer-licenses.txt",
        "Contents/Resources/bundle.zip",
        "Contents/Resources/installAgentURL.txt"}},
  };
  writeFile(tree_.at("splash.png"), kPng);
  std::string runs;
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string agent = makeAgentArchive(c.name);
    std::unique_ptr<AgentServerProcess> server;
    // The executable and module are those built beside make-bundle.
    Strings args = {"--payload", makePayloadArchive()};
    if (c.download) {
      server.reset(new AgentServerProcess(AGENT_SERVER_PATH, {agent}));
      args.insert(args.end(), {"--url", server->url()});
    } else {
      args.insert(args.end(), {"--agent", agent});
    }
    if (c.splash) args.insert(args.end(), {"--splash", tree_.at("splash.png")});
    std::string output = tree_.at("out/") + c.name;
    if (c.layout == Layout::kAppBundle) {
      output += ".app";
      args.push_back("--app");
    }
    args.push_back(output);

    Strings files = c.files;
    if (HAS_DESKTOP_MODULE) {
      files.push_back(
          (c.layout == Layout::kAppBundle ? "Contents/MacOS/" : "") +
          std::string(kModule));
      std::sort(files.begin(), files.end());
    }

    ProcessResult made = makeBundleTool(args);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    // A bundle that ships its agent never downloads, so never shows the
    // picture: the vendor is warned, and the bundle is made all the same.
    const bool unseenSplash = c.splash && !c.download;
    const size_t warning = made.err.find(
        "make-bundle: warning: the splash picture is shown only while the "
        "agent downloads");
    EXPECT_EQ(warning != std::string::npos, unseenSplash) << made.err;
    const size_t lines = std::count(made.err.begin(), made.err.end(), '\n');
    EXPECT_EQ(lines, unseenSplash + !HAS_DESKTOP_MODULE) << made.err;
    EXPECT_EQ(filesBelow(output), files);
    // What the executable links statically comes with its notices.
    const std::string licenses =
        readFile(output + (c.layout == Layout::kAppBundle ? "/Contents/MacOS"
                                                          : "") +
                 "/bootstrap-installer-licenses.txt");
    EXPECT_NE(licenses.find("Copyright (c) 2013-2017 Frank Denis"),
              std::string::npos);
    adoptBundle(c.layout, output);
    if (c.splash) {
      EXPECT_EQ(readFile(resources_ + "/splash.png"), kPng);
    }
    const std::string home = tree_.at(std::string("home-") + c.name);
    makeDirs(home);
    ProcessResult result = run({"--flag", "two words"}, {"HOME=" + home});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    runs += std::string(c.name) + "\n";
    EXPECT_EQ(agentRuns(), runs);
    Strings call = agentCall();
    ASSERT_EQ(call.size(), 5u);
    EXPECT_EQ(Strings(call.begin() + 1, call.end()),
              (Strings{"-installbundle", resources_ + "/bundle.zip", "--flag",
                       "two words"}));
    if (c.download) {
      EXPECT_EQ(call[0], home + kCache + "installagent/install");
      EXPECT_TRUE(startsWith(readFile(home + kCache + ".validatestring"), "\""))
          << "no strong ETag stamped";
    }
    EXPECT_EQ(listDir(tmpdir_), Strings{});
  }
}

TEST_F(MakeBundle, RefusalsSayWhyAndLeaveNothingBehind) {
  const std::string payload = makePayloadArchive();
  const std::string agent = makeAgentArchive("fine");
  writeFile(tree_.at("src/other"), "not the install script");
  makeZip(tree_.at("no-install.zip"), tree_.at("src"), {"other"});
  makeDirs(tree_.at("src/sub"));
  writeFile(tree_.at("src/sub/install"), "exit 0\n");
  makeZip(tree_.at("nested.zip"), tree_.at("src"), {"sub/install"});
  writeFile(tree_.at("not-a.zip"), "plain text, no archive");
  writeFile(tree_.at("splash.gif"), "GIF89a, no PNG");
  makeDirs(tree_.at("out/Existing"));
  writeFile(tree_.at("out/Existing/keep"), "kept");
  const std::string missing = tree_.at("missing.zip");
  const std::string out = tree_.at("out/Setup");
  writeFile(tree_.at("bad.pub"), "untrusted comment: key\nnot base64\n");
  std::string huge;
  while (huge.size() <= 64 * 1024) huge += "untrusted comment: padding\n";
  writeFile(tree_.at("huge.pub"), huge);
  const Strings base = {"--payload", payload, "--agent", agent};
  auto with = [&](Strings more) {
    Strings args = base;
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  auto keyed = [&](const std::string& keyFile) {
    return Strings{"--payload", payload, "--url", "http://example.com/a.zip",
                   "--public-key", keyFile, out};
  };
  const struct {
    const char* name;
    Strings args;
    int status;
    std::string message;
  } cases[] = {
      {"no install",
       {"--payload", payload, "--agent", tree_.at("no-install.zip"), out},
       1,
       "has no install script at its top level"},
      {"install not at the top",
       {"--payload", payload, "--agent", tree_.at("nested.zip"), out},
       1,
       "has no install script at its top level"},
      {"agent no zip",
       {"--payload", payload, "--agent", tree_.at("not-a.zip"), out},
       1,
       "the agent archive " + tree_.at("not-a.zip") + " is not a zip archive"},
      {"payload no zip",
       {"--payload", tree_.at("not-a.zip"), "--agent", agent, out},
       1,
       "the payload " + tree_.at("not-a.zip") + " is not a zip archive"},
      {"URL with a blank",
       {"--payload", payload, "--url", "http://a host/x.zip", out},
       1,
       "the URL http://a host/x.zip does not parse"},
      {"URL without host",
       {"--payload", payload, "--url", "http://:80/x.zip", out},
       1,
       "does not parse"},
      {"ftp URL",
       {"--payload", payload, "--url", "ftp://example.com/x.zip", out},
       1,
       "is not http or https"},
      {"file URL",
       {"--payload", payload, "--url", "file:///tmp/x.zip", out},
       1,
       "is not http or https"},
      {"no scheme",
       {"--payload", payload, "--url", "example.com/x.zip", out},
       1,
       "does not parse"},
      {"missing payload",
       {"--payload", missing, "--agent", agent, out},
       1,
       "cannot read the payload " + missing + ": No such file"},
      {"missing agent",
       {"--payload", payload, "--agent", missing, out},
       1,
       "cannot read the agent archive " + missing},
      {"missing splash", with({"--splash", missing, out}), 1,
       "cannot read the splash picture " + missing},
      {"splash no PNG", with({"--splash", tree_.at("splash.gif"), out}), 1,
       "is not a PNG file"},
      {"missing executable", with({"--executable", missing, out}), 1,
       "cannot read the executable " + missing},
      {"output exists", with({tree_.at("out/Existing")}), 1, "already exists"},
      {"app not named .app", with({"--app", out}), 1,
       "with --app, OUTPUT must be named like Name.app"},
      {"no parent", with({tree_.at("out/none/Setup")}), 1, "does not exist"},
      // Unreadable past its start: the copy fails half way.
      {"copy fails", with({"--module", "/proc/self/mem", out}), 1,
       "cannot read /proc/self/mem"},
      {"missing key file", keyed(missing), 1,
       "cannot read the public key file " + missing},
      {"malformed key file", keyed(tree_.at("bad.pub")), 1,
       "the public key file " + tree_.at("bad.pub") +
           " is no minisign public key file: line 2: not the base64"},
      // Refused before the parser sees it, as the installer would.
      {"key file too large", keyed(tree_.at("huge.pub")), 1,
       "the public key file " + tree_.at("huge.pub") +
           " is larger than 65536 bytes"},
      {"url and agent", with({"--url", "http://example.com/a.zip", out}), 2,
       "give exactly one of --url and --agent"},
      // The shipped archive is not verified: the key would vouch for nothing.
      {"key with a shipped agent", with({"--public-key", missing, out}), 2,
       "--public-key goes with --url only"},
      {"no output", base, 2, "no OUTPUT given"},
      {"unknown option", with({"--force", out}), 2, "unknown option --force"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProcessResult result = makeBundleTool(c.args);

    EXPECT_EQ(result.exitCode, c.status) << result.err;
    EXPECT_TRUE(startsWith(result.err, "make-bundle: ")) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    if (c.status == 1) {
      EXPECT_NE(result.err.find("; no bundle was made\n"), std::string::npos);
    }
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(listDir(tree_.at("out")), Strings{"Existing"});
    EXPECT_EQ(filesBelow(tree_.at("out/Existing")), Strings{"keep"});
  }
}

// Keys as minisign writes them ship byte for byte, a rotation's two keys
// too; anything the installer would not read as keys is refused.
TEST_F(MakeBundle, PublicKeyFilesShipAsTheyAre) {
  const Strings env = {"HOME=" + tree_.path()};
  if (runProcess({"minisign", "-v"}, env, tree_.path(), 10).exitCode != 0)
    GTEST_SKIP() << "minisign is not installed to make the keys";
  for (const char* name : {"old", "new"}) {
    ProcessResult made = runProcess(
        {"minisign", "-G", "-W", "-f", "-p", name + std::string(".pub"), "-s",
         name + std::string(".key")},
        env, tree_.path(), 60);
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }
  const std::string oldKey = readFile(tree_.at("old.pub"));
  const std::string newKey = readFile(tree_.at("new.pub"));
  const struct {
    const char* name;
    std::string keys;
    bool app;
    std::string refusal;  // empty: shipped
  } cases[] = {
      {"one key", oldKey, false, ""},
      {"two keys", oldKey + "\n" + newKey, true, ""},
      {"secret key by mistake", readFile(tree_.at("old.key")), false,
       "is no minisign public key file: line 2: not the base64 of a 42-byte "
       "key"},
  };
  const std::string payload = makePayloadArchive();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string keyFile = tree_.at(std::string(c.name) + ".pub");
    writeFile(keyFile, c.keys);
    const std::string output =
        tree_.at("out/") + c.name + (c.app ? ".app" : "");
    Strings args = {"--payload", payload, "--url",
                    "https://downloads.example.com/InstallAgent.zip",
                    "--public-key", keyFile, output};
    if (c.app) args.push_back("--app");
    ProcessResult result = makeBundleTool(args);

    if (!c.refusal.empty()) {
      EXPECT_EQ(result.exitCode, 1);
      EXPECT_EQ(result.err, "make-bundle: the public key file " + keyFile +
                                " " + c.refusal + "; no bundle was made\n");
      EXPECT_FALSE(pathExists(output));
      continue;
    }
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string resources = output + (c.app ? "/Contents/Resources" : "");
    EXPECT_EQ(readFile(resources + "/installAgentKey.pub"), c.keys);
  }
}

// Asked for, the usage goes to standard output; for a bare command line,
// a usage error, to standard error.
TEST_F(MakeBundle, UsageNamesEveryOption) {
  const struct {
    Strings args;
    int status;
    bool onStdout;
  } cases[] = {{{"--help"}, 0, true}, {{}, 2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no arguments" : c.args[0]);
    ProcessResult result = makeBundleTool(c.args);
    EXPECT_EQ(result.exitCode, c.status);
    const std::string& usage = c.onStdout ? result.out : result.err;
    EXPECT_EQ(c.onStdout ? result.err : result.out, "");
    EXPECT_TRUE(startsWith(usage, "usage: make-bundle ")) << usage;
    for (const char* option :
         {"--payload", "--url", "--public-key", "--agent", "--splash", "--app",
          "--executable", "--module", "--no-module", "--version",
          "Exit status"})
      EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

// A vendor who names the output like an .app is told which layout came.
TEST_F(MakeBundle, AnAppNameWithoutAppSaysWhichLayoutItMade) {
  const std::string output = tree_.at("Setup.app");
  ProcessResult made = makeBundleTool({"--payload", makePayloadArchive(),
                                       "--agent", makeAgentArchive("x"),
                                       output});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  EXPECT_NE(made.err.find("the plain layout was made"), std::string::npos)
      << made.err;
  EXPECT_TRUE(pathExists(output + "/bootstrap-installer"));
}

// The tools as `cmake --install` lays them out: a bundle made by the
// installed make-bundle, from the installed executable and module, runs
// its agent from the installed agent-server.
TEST_F(MakeBundle, InstalledToolsMakeABundleThatRuns) {
  const std::string prefix = tree_.at("prefix");
  ProcessResult install = runProcess(
      {CMAKE_COMMAND, "--install", BUILD_DIRECTORY, "--prefix", prefix},
      {"PATH=/usr/bin:/bin"}, "", 120);
  ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
  const std::string doc = "share/doc/bootstrap-installer-kit/";
  Strings installed = {"bin/agent-server",
                       "bin/bootstrap-installer",
                       "bin/make-bundle",
                       doc + "copyright",
                       doc + "examples/InstallAgent.zip",
                       doc + "examples/agent/install",
                       doc + "examples/bundle.zip",
                       doc + "examples/payload/README.txt",
                       doc + "examples/payload/bin/hello",
                       doc + "examples/payload/share/greeting.txt",
                       doc + "examples/splash.png",
                       "share/man/man1/agent-server.1",
                       "share/man/man1/bootstrap-installer.1",
                       "share/man/man1/make-bundle.1"};
  if (HAS_DESKTOP_MODULE)
    installed.push_back(std::string("lib/bootstrap-installer/") + kModule);
  std::sort(installed.begin(), installed.end());
  EXPECT_EQ(filesBelow(prefix), installed);

  AgentServerProcess server(prefix + "/bin/agent-server",
                            {makeAgentArchive("installed")});
  const std::string output = tree_.at("out/Installed Setup.app");
  ProcessResult made = makeBundleTool({"--payload", makePayloadArchive(),
                                       "--url", server.url(), "--app", output},
                                      prefix + "/bin/make-bundle");
  ASSERT_EQ(made.exitCode, 0) << made.err;
  adoptBundle(Layout::kAppBundle, output);
  EXPECT_EQ(pathExists(exeDir_ + "/" + kModule), HAS_DESKTOP_MODULE);
  EXPECT_EQ(readFile(exe_), readFile(prefix + "/bin/bootstrap-installer"));
  ProcessResult result = run({});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "installed\n");
}

}  // namespace
