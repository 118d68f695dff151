#ifndef BOOTSTRAP_UI_FAKE_FAKE_BACKEND_H_
#define BOOTSTRAP_UI_FAKE_FAKE_BACKEND_H_

#include <memory>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/queue_loop.h"

// What the fake window shows, and every call made to it.
struct FakeWindowState {
  std::string title;  // as given to show()
  double value = 0;
  double maxValue = 100;
  bool indeterminate = true;
  bool animating = false;
  std::string text;
  TextColor textColor = TextColor::kNormal;
  std::string detail;
  std::string buttonTitle;
  bool buttonEnabled = true;
  std::string keyEquivalent;
  std::string imagePath;  // the image on show, if any
  bool closed = false;
  std::string details;  // as offered for copying
  // In order, e.g. "progress.setDoubleValue(0)",
  // "downloadPercent.setStringValue(Downloading)", "window.close()",
  // "user.pressButton()". A call made off the loop thread ends in
  // " [off the loop thread]", so that tests comparing calls catch it.
  std::vector<std::string> calls;
};

// A window system for tests of the code that drives the download window: a
// real QueueLoop, and controls that remember what they are told. The image
// view shows any regular file. Closing the window, by any means, runs its
// close handler once, on the calling (loop) thread.
class FakeBackend : public UiBackend {
 public:
  // clipboard: whether it offers details for copying, as a desktop does.
  explicit FakeBackend(bool clipboard = false);
  ~FakeBackend() override;
  FakeBackend(const FakeBackend&) = delete;
  FakeBackend& operator=(const FakeBackend&) = delete;

  MainLoop& loop() override;
  DownloadWindowOutlets outlets() override;
  void show(const std::string& title) override;

  // A copy, safe to take from any thread.
  FakeWindowState state() const;

  // What a user can do, done on the loop thread and waited for: the button
  // closes the window when it is enabled. True when the window closed;
  // false when it was closed already, the button was disabled or the loop
  // had ended.
  bool pressButton();
  bool closeWindow();

 private:
  struct Controls;

  QueueLoop loop_;
  std::unique_ptr<Controls> controls_;
  bool clipboard_;
};

#endif
