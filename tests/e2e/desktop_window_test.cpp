// The desktop window as a user sees it: the installer runs on a private X
// server with the window module beside it and DISPLAY set, nothing forcing
// the choice, while the test watches, types and closes as a user would.

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "e2e/bundle_fixture.h"
#include "support/test_http_server.h"
#include "support/x_display.h"

namespace {

using Strings = std::vector<std::string>;

const char kTitle[] = "Setup";  // the fixture's bundle is Setup.app
const char kFailureTitle[] = "Setup: Installation failed";
const char kFailedLast[] = "Installation failed.\n";
const int kAppearMs = 10000;
const int kPollMs = 20;

double nowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Polls until condition holds, for at most timeoutMs.
bool eventually(const std::function<bool()>& condition, int timeoutMs) {
  double deadline = nowMs() + timeoutMs;
  while (!condition()) {
    if (nowMs() > deadline) return false;
    usleep(kPollMs * 1000);
  }
  return true;
}

void pauseMs(int milliseconds) { usleep(milliseconds * 1000); }

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Text shown in red: strong red with little green or blue, which nothing
// else in the window is drawn in.
bool isRed(const uint8_t* rgb) {
  return rgb[0] >= 150 && rgb[1] <= 80 && rgb[2] <= 80;
}
// The progress bar's fill: the toolkit's default blue.
bool isBarBlue(const uint8_t* rgb) {
  return rgb[2] >= 150 && rgb[0] <= 100 && rgb[2] - rgb[0] >= 80;
}

int redPixels(const RgbImage& image) {
  int count = 0;
  for (size_t i = 0; i + 2 < image.pixels.size(); i += 3)
    count += isRed(&image.pixels[i]);
  return count;
}
const int kRedText = 10;

// The longest row of the progress bar's fill.
int longestBlueRun(const RgbImage& image) {
  int longest = 0, run = 0;
  for (size_t i = 0; i + 2 < image.pixels.size(); i += 3) {
    if ((i / 3) % image.width == 0) run = 0;  // a new row
    run = isBarBlue(&image.pixels[i]) ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

// A full bar spans most of the window.
bool hasFullBar(const RgbImage& image) {
  return longestBlueRun(image) >= image.width * 3 / 4;
}

Strings linesContaining(const std::string& text, const std::string& part) {
  std::istringstream lines(text);
  Strings found;
  for (std::string line; std::getline(lines, line);)
    if (line.find(part) != std::string::npos) found.push_back(line);
  return found;
}

// A bundle that downloads its agent, with the desktop window module beside
// the executable.
class DesktopBundle : public BundleFixture {
 protected:
  DesktopBundle() {
    makeBundle(Layout::kAppBundle);
    copyBesideExecutable(BOOTSTRAP_DESKTOP_MODULE_PATH);
    setUrl(server_.url("/agent.zip"));
  }

  int64_t bytesSent() const { return server_.bytesSent("/agent.zip"); }
  // Serves the agent tagged tag as reply says, in chunks of about
  // 1/chunks of it; the archive's size.
  int64_t serveAgent(const std::string& tag, TestReply reply, int chunks = 1) {
    reply.body = readFile(makeAgentArchive(tag));
    reply.headers = {{"ETag", "\"" + tag + "\""}};
    reply.chunkSize = reply.body.size() / chunks + 1;
    server_.serve("/agent.zip", reply);
    return static_cast<int64_t>(reply.body.size());
  }

  // Exit 255, "Installation failed." last, no agent run, no scratch left.
  void expectFailure(const ProcessResult& result) {
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 255) << result.err << "signal " << result.signal;
    EXPECT_TRUE(endsWith(result.err, kFailedLast)) << result.err;
    EXPECT_EQ(agentRuns(), "");
    EXPECT_EQ(listDir(tmpdir_), Strings{}) << "scratch left";
  }

  TestHttpServer server_;
};

// The same on an X server of the test's own.
class DesktopWindow : public DesktopBundle {
 protected:
  DesktopWindow() { makeDirs(BOOTSTRAP_SCREENSHOT_DIR); }

  void SetUp() override { ASSERT_TRUE(x_.ok()); }

  // The run, with the window on this test's display.
  std::unique_ptr<BackgroundProcess> startOnDisplay(const Strings& extraEnv) {
    // The leak checker of sanitizer builds would report the toolkit's own
    // allocations at exit.
    Strings env = {"DISPLAY=" + x_.name(), "ASAN_OPTIONS=detect_leaks=0",
                   // No accessibility bus under a private X server.
                   "NO_AT_BRIDGE=1"};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    return start({}, env);
  }

  XWindowId awaitWindow() { return x_.findWindow(kTitle, kAppearMs); }

  // The failed run's own window, which the run waits for.
  XWindowId awaitFailureWindow(BackgroundProcess& process) {
    XWindowId window = x_.findWindow(kFailureTitle, kAppearMs);
    EXPECT_NE(window, 0u) << "no window titled " << kFailureTitle;
    pauseMs(500);
    EXPECT_FALSE(process.hasExited()) << "the run did not wait for it";
    return window;
  }

  RgbImage capture(XWindowId window) {
    RgbImage image;
    EXPECT_TRUE(x_.capture(window, &image)) << "window gone";
    return image;
  }

  // Saved into the build's screenshot directory for a person to look at.
  void keep(const RgbImage& image, const std::string& name) {
    EXPECT_TRUE(
        savePng(image, std::string(BOOTSTRAP_SCREENSHOT_DIR) + "/" + name));
  }

  XDisplay x_;
};

// An unzip that lingers before unpacking, so that the unpacking state stays
// on screen; it touches "$0.started" first.
const char kLingeringUnzip[] =
    "#!/bin/sh\ntouch \"$0.started\"\nsleep 2\n"
    "exec /usr/bin/unzip \"$@\"\n";

TEST_F(DesktopWindow, DownloadShowsProgressThenUnpacksThenGivesWayToTheAgent) {
  TestReply slow;
  slow.chunkDelayMs = 100;
  const int64_t size = serveAgent("slow", slow, 25);  // about 2.5 s
  auto process =
      startOnDisplay({unzipFirstOnPath(kLingeringUnzip), "AGENT_SLEEP=2"});
  const std::string unzipStarted = tree_.at("bin/unzip.started");

  XWindowId window = awaitWindow();
  ASSERT_NE(window, 0u) << "no window titled " << kTitle;
  // Well into the transfer, so that the window has long been drawn.
  ASSERT_TRUE(eventually([&] { return bytesSent() >= size / 5; }, kAppearMs));
  RgbImage early = capture(window);
  pauseMs(600);
  RgbImage later = capture(window);
  EXPECT_LT(bytesSent(), size) << "the download ended before it was seen";
  EXPECT_GT(longestBlueRun(later), longestBlueRun(early))
      << "the progress bar did not grow";
  EXPECT_FALSE(hasFullBar(later));
  EXPECT_EQ(redPixels(later), 0);
  keep(later, "downloading.png");

  ASSERT_TRUE(eventually([&] { return pathExists(unzipStarted); }, kAppearMs));
  pauseMs(300);
  RgbImage unpacking = capture(window);
  pauseMs(400);
  RgbImage animated = capture(window);
  EXPECT_TRUE(unpacking.pixels != animated.pixels) << "the bar is not animated";
  EXPECT_EQ(redPixels(animated), 0);
  keep(animated, "unpacking.png");
  // The button is disabled while unpacking: Return must not stop the run.
  EXPECT_TRUE(x_.pressReturn(window));
  pauseMs(300);
  EXPECT_EQ(x_.findWindow(kTitle, 0), window) << "Return closed it";

  ASSERT_TRUE(eventually([&] { return agentRuns() == "slow\n"; }, kAppearMs));
  EXPECT_TRUE(x_.waitUntilGone(kTitle, 1500)) << "left while the agent runs";
  EXPECT_FALSE(process->hasExited()) << "the agent ended before the check";
  ProcessResult result = process->wait(10);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "slow\n");
  EXPECT_EQ(listDir(tmpdir_), Strings{});
}

// Return (the button's key) or the window manager's close: the failure
// waits for either, then the run fails with no second window, the details
// kept where the window said.
TEST_F(DesktopWindow, FailureStaysOnScreenUntilDismissed) {
  const std::pair<const char*, bool (XDisplay::*)(XWindowId)> ways[] = {
      {"Return", &XDisplay::pressReturn}, {"close", &XDisplay::sendDelete}};
  int requests = 0;
  for (const auto& way : ways) {
    SCOPED_TRACE(way.first);
    auto process = startOnDisplay({});  // the server answers 404

    XWindowId window = awaitWindow();
    ASSERT_NE(window, 0u) << "no window titled " << kTitle;
    ++requests;
    ASSERT_TRUE(eventually(
        [&] { return server_.requestCount("/agent.zip") == requests; },
        kAppearMs));
    ASSERT_TRUE(eventually(
        [&] {
          RgbImage image;
          return x_.capture(window, &image) && redPixels(image) >= kRedText;
        },
        5000))
        << "no failure shown in red";
    pauseMs(300);
    RgbImage failed = capture(window);
    EXPECT_TRUE(hasFullBar(failed)) << longestBlueRun(failed);
    if (requests == 1) keep(failed, "failed.png");
    pauseMs(1000);
    EXPECT_EQ(x_.findWindow(kTitle, 0), window) << "the failure went away";
    EXPECT_FALSE(process->hasExited());

    EXPECT_TRUE((x_.*way.second)(window));
    EXPECT_TRUE(x_.waitUntilGone(kTitle, 5000));
    expectFailure(process->wait(10));
    EXPECT_EQ(x_.findWindow(kFailureTitle, 0), 0u) << "a second window";
    EXPECT_NE(readFile(cache() + "last-failure.log").find("http error code"),
              std::string::npos);
  }
}

// Nobody reads standard error on a desktop: a failed run shows its lines,
// and the agent's last, in a window of their own, and ends once the user
// has closed it (or it is destroyed), or once a signal says to stop.
TEST_F(DesktopWindow, FailedRunShowsItsLinesUntilClosed) {
  addAgentArchive("InstallAgent.zip", "failing");
  const std::string kSaid = "cannot write to the target folder";
  typedef std::function<bool(XWindowId, BackgroundProcess&)> Close;
  const std::pair<const char*, Close> ways[] = {
      {"Return",
       [&](XWindowId w, BackgroundProcess&) { return x_.pressReturn(w); }},
      {"Escape",
       [&](XWindowId w, BackgroundProcess&) { return x_.pressEscape(w); }},
      {"close",
       [&](XWindowId w, BackgroundProcess&) { return x_.sendDelete(w); }},
      {"destroyed",
       [&](XWindowId w, BackgroundProcess&) { return x_.destroy(w); }},
      {"SIGTERM",
       [](XWindowId, BackgroundProcess& p) { return p.sendSignal(SIGTERM); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.first);
    auto process = startOnDisplay({"AGENT_EXIT=1", "AGENT_SAYS=" + kSaid});
    XWindowId window = awaitFailureWindow(*process);
    ASSERT_NE(window, 0u);
    if (way.first == ways[0].first) keep(capture(window), "run-failed.png");

    EXPECT_TRUE(way.second(window, *process));
    EXPECT_TRUE(x_.waitUntilGone(kFailureTitle, 5000));
    ProcessResult result = process->wait(10);
    EXPECT_EQ(result.exitCode, 255) << result.err;
    EXPECT_EQ(result.err, kSaid +
                              "\nApplication install was not successful.\n"
                              "Installation failed.\n");
    EXPECT_NE(readFile(cache() + "last-failure.log")
                  .find("last lines on standard error:\n  " + kSaid),
              std::string::npos);
    remove((cache() + "last-failure.log").c_str());
  }

  // Forced onto the console, the run waits for nobody.
  auto console = startOnDisplay({"AGENT_EXIT=1", "ZR_BOOTSTRAP_UI=console"});
  ProcessResult result = console->wait(5);
  EXPECT_FALSE(result.timedOut) << "a window waited";
  EXPECT_EQ(result.exitCode, 255) << result.err;
}

// The title bar's close, Escape and the focused Cancel button (Return,
// Space) all cancel.
TEST_F(DesktopWindow, ClosingTheWindowCancelsTheDownload) {
  const std::pair<const char*, std::function<bool(XWindowId)>> ways[] = {
      {"close", [&](XWindowId w) { return x_.sendDelete(w); }},
      {"Escape", [&](XWindowId w) { return x_.pressEscape(w); }},
      {"Return", [&](XWindowId w) { return x_.pressReturn(w); }},
      {"Space", [&](XWindowId w) { return x_.pressSpace(w); }},
      {"destroyed", [&](XWindowId w) { return x_.destroy(w); }},
  };
  const int64_t size = 8 << 20;
  TestReply slow;
  slow.generatedSize = size;
  slow.chunkDelayMs = 50;  // 128 chunks: over 6 s
  slow.headers = {{"ETag", "\"slow\""}};  // a download worth keeping
  server_.serve("/agent.zip", slow);
  for (const auto& way : ways) {
    SCOPED_TRACE(way.first);
    int64_t sentBefore = bytesSent();
    auto process = startOnDisplay({});

    XWindowId window = awaitWindow();
    ASSERT_NE(window, 0u) << "no window titled " << kTitle;
    ASSERT_TRUE(
        eventually([&] { return bytesSent() > sentBefore; }, kAppearMs));
    ASSERT_TRUE(way.second(window));

    // No failure window follows: the user said no.
    ProcessResult result = process->wait(4);
    expectFailure(result);
    EXPECT_EQ(
        linesContaining(result.err, "Download cancelled by the user").size(),
        1u)
        << result.err;
    EXPECT_FALSE(pathExists(cache() + ".validatestring"));
    EXPECT_TRUE(!pathExists(cache() + "installagent") ||
                listDir(cache() + "installagent").empty());
    EXPECT_FALSE(pathExists(cache() + ".partial-download")) << "kept";
    EXPECT_TRUE(x_.waitUntilGone(kTitle, 2000));
    pauseMs(200);
    EXPECT_LT(bytesSent() - sentBefore, size / 2);
  }
}

TEST_F(DesktopBundle, UnansweredDisplayFallsBackToTheConsole) {
  serveAgent("console", TestReply());
  const std::string dead = deadDisplayName();
  ASSERT_NE(dead, "");
  ProcessResult result =
      run({}, {"DISPLAY=" + dead, "ASAN_OPTIONS=detect_leaks=0"});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(agentRuns(), "console\n");
  Strings why = linesContaining(result.err, "No desktop window");
  ASSERT_EQ(why.size(), 1u) << result.err;
  EXPECT_NE(why[0].find(dead), std::string::npos) << "names no display";
  EXPECT_EQ(linesContaining(result.err, "Downloading").size(), 1u)
      << result.err;
}

// Library names in ldd's output that belong to the toolkit.
std::string toolkitLibraries(const std::string& lddOutput) {
  std::istringstream lines(lddOutput);
  std::string found;
  for (std::string line; std::getline(lines, line);) {
    std::string name;
    std::istringstream(line) >> name;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (name.find("gtk") != std::string::npos ||
        name.find("gdk") != std::string::npos)
      found += name + "\n";
  }
  return found;
}

TEST(DesktopLinkage, OnlyTheModuleLinksTheToolkit) {
  ProcessResult exe = runProcess({"ldd", BOOTSTRAP_INSTALLER_PATH},
                                 {"PATH=/usr/bin:/bin"}, "", 30);
  ASSERT_EQ(exe.exitCode, 0) << exe.err;
  EXPECT_EQ(toolkitLibraries(exe.out), "") << exe.out;

  ProcessResult module = runProcess({"ldd", BOOTSTRAP_DESKTOP_MODULE_PATH},
                                    {"PATH=/usr/bin:/bin"}, "", 30);
  ASSERT_EQ(module.exitCode, 0) << module.err;
  EXPECT_NE(toolkitLibraries(module.out), "") << module.out;
}

}  // namespace
