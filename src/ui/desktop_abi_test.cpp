#include "ui/desktop_abi.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "ui/desktop_export.h"
#include "ui/desktop_import.h"
#include "ui/fake/fake_backend.h"
#include "ui/loop_contract_test.h"

namespace {

// A fake window reached only through the C table, as the executable
// reaches the module's; the fake stays in view for the test.
struct AcrossTheBoundary {
  AcrossTheBoundary()
      : fake(new FakeBackend),
        backend(importBackend(exportedDesktopApi(),
                              exportBackend(std::unique_ptr<UiBackend>(fake)))) {}
  FakeBackend* fake;
  std::unique_ptr<UiBackend> backend;
};

class BoundaryLoop : public MainLoop {
 public:
  int run() override { return loop().run(); }
  void stop(int status) override { loop().stop(status); }
  bool dispatchSync(const std::function<void()>& work) override {
    return loop().dispatchSync(work);
  }
  void runAfter(double seconds, std::function<void()> work) override {
    loop().runAfter(seconds, std::move(work));
  }

 private:
  MainLoop& loop() { return across_.backend->loop(); }
  AcrossTheBoundary across_;
};

}  // namespace

template <>
void settle<BoundaryLoop>() {}

INSTANTIATE_TYPED_TEST_SUITE_P(Boundary, LoopContract, BoundaryLoop);

namespace {

TEST(DesktopBoundary, ControlsAndTheCloseHandlerCrossIntact) {
  AcrossTheBoundary across;
  DownloadWindowOutlets w = across.backend->outlets();
  int closes = 0;
  w.window->setCloseHandler([&closes] { ++closes; });
  across.backend->show("Example \u00e9 Setup");
  w.progress->setMaxValue(250);
  w.progress->setIndeterminate(false);
  w.progress->setDoubleValue(10);
  w.progress->incrementBy(2.5);
  w.downloadPercent->setStringValue("Downloading");
  w.downloadPercent->setTextColor(TextColor::kRed);
  w.detail->setStringValue("1.0 KiB of 2.0 KiB");
  w.cancel->setTitle("Close");
  w.cancel->setEnabled(false);
  w.cancel->setKeyEquivalent("\r");

  FakeWindowState s = across.fake->state();
  EXPECT_EQ(s.title, "Example \u00e9 Setup");
  EXPECT_EQ(s.value, 12.5);
  EXPECT_EQ(s.maxValue, 250);
  EXPECT_FALSE(s.indeterminate);
  EXPECT_EQ(w.progress->doubleValue(), 12.5);
  EXPECT_EQ(w.progress->maxValue(), 250);
  EXPECT_FALSE(w.progress->isIndeterminate());
  EXPECT_EQ(s.text, "Downloading");
  EXPECT_EQ(s.textColor, TextColor::kRed);
  EXPECT_EQ(s.detail, "1.0 KiB of 2.0 KiB");
  EXPECT_EQ(s.buttonTitle, "Close");
  EXPECT_FALSE(s.buttonEnabled);
  EXPECT_EQ(s.keyEquivalent, "\r");
  EXPECT_FALSE(w.image->showImageFile("/nonexistent/splash.png", 10, 10));

  w.window->close();
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(across.fake->state().closed);
}

// The executable's side holds the work; the module must hand it back even
// when its loop never runs it, or it leaks.
TEST(DesktopBoundary, WorkTheLoopNeverRanIsFreed) {
  auto token = std::make_shared<int>(0);
  {
    AcrossTheBoundary across;
    across.backend->loop().runAfter(30, [token] { ++*token; });
    across.backend->loop().stop(0);
    EXPECT_EQ(runWithWatchdog(across.backend->loop()), 0);
  }
  EXPECT_EQ(*token, 0);
  EXPECT_EQ(token.use_count(), 1);
}

}  // namespace
