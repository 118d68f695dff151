#include "download_window/download_view.h"

#include <gtest/gtest.h>

#include "cache/locations.h"
#include "platform/log.h"
#include "support/scratch_tree.h"
#include "ui/fake/fake_backend.h"

namespace {

// A desktop user reads no standard error: the window says what went wrong
// and where the details were kept, and offers them for copying. The
// console says as before, and keeps no log of its own: the run's end does.
TEST(DownloadViewFailure, ADesktopSaysWhyAndWhereTheDetailsAre) {
  const struct {
    const char* name;
    bool desktop;
    DownloadView::Failure failure;
    const char* text;
  } cases[] = {
      {"desktop, transport", true, DownloadView::Failure::kTransport,
       "Error during the download process.\nCould not connect to server"},
      {"desktop, unzip", true, DownloadView::Failure::kUnzip,
       "Failed to unzip the installer."},
      {"console, transport", false, DownloadView::Failure::kTransport,
       "Error during the download process.\nSee the log on standard error or "
       "in the system journal (journalctl -t unit_tests)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchTree tree;
    const std::string cache = getInstallAgentCacheDir(tree.at("home"));
    FakeBackend backend(c.desktop);
    DownloadView view(backend.outlets(), backend.loop(), cache);
    logLine("Download failed! Error - Could not connect to server http://a/");
    view.showFailure(c.failure, "Could not connect to server");

    const FakeWindowState state = backend.state();
    EXPECT_EQ(state.text, c.text);
    EXPECT_EQ(state.textColor, TextColor::kRed);
    const std::string log = cache + "last-failure.log";
    EXPECT_EQ(pathExists(log), c.desktop);
    if (!c.desktop) {
      EXPECT_EQ(state.detail + state.details, "");
      continue;
    }
    EXPECT_EQ(state.detail, "The details are in " + log + ".");
    EXPECT_NE(state.details.find("Download failed! Error - Could not connect"),
              std::string::npos);
    EXPECT_EQ(readFile(log), state.details);
  }
}

}  // namespace
