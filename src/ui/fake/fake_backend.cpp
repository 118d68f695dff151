#include "ui/fake/fake_backend.h"

#include <stdio.h>
#include <sys/stat.h>

#include <functional>
#include <mutex>

namespace {

std::string number(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.15g", value);
  return text;
}

const char* boolean(bool value) { return value ? "true" : "false"; }

const char* colorName(TextColor color) {
  return color == TextColor::kRed ? "red" : "normal";
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The state of the window behind one lock, and the log of calls.
class Recorder {
 public:
  explicit Recorder(const QueueLoop& loop) : loop_(loop) {}

  // Changes the state and logs the call as one step.
  void record(const std::string& call,
              const std::function<void(FakeWindowState&)>& change) {
    std::string entry =
        loop_.isLoopThread() ? call : call + " [off the loop thread]";
    std::lock_guard<std::mutex> lock(mutex_);
    change(state_);
    state_.calls.push_back(entry);
  }

  void log(const std::string& call) {
    record(call, [](FakeWindowState&) {});
  }

  template <typename T>
  T read(T FakeWindowState::*field) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.*field;
  }

  FakeWindowState state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
  }

  // True for the first caller only.
  bool markClosed() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_.closed) return false;
    state_.closed = true;
    return true;
  }

 private:
  const QueueLoop& loop_;
  mutable std::mutex mutex_;
  FakeWindowState state_;
};

class FakeProgress : public ProgressIndicator {
 public:
  explicit FakeProgress(Recorder& recorder) : recorder_(recorder) {}

  void setDoubleValue(double value) override {
    recorder_.record("progress.setDoubleValue(" + number(value) + ")",
                     [value](FakeWindowState& s) { s.value = value; });
  }
  double doubleValue() const override {
    return recorder_.read(&FakeWindowState::value);
  }
  void incrementBy(double delta) override {
    recorder_.record("progress.incrementBy(" + number(delta) + ")",
                     [delta](FakeWindowState& s) { s.value += delta; });
  }
  void setMaxValue(double maxValue) override {
    recorder_.record("progress.setMaxValue(" + number(maxValue) + ")",
                     [maxValue](FakeWindowState& s) { s.maxValue = maxValue; });
  }
  double maxValue() const override {
    return recorder_.read(&FakeWindowState::maxValue);
  }
  void setIndeterminate(bool on) override {
    recorder_.record(
        std::string("progress.setIndeterminate(") + boolean(on) + ")",
        [on](FakeWindowState& s) { s.indeterminate = on; });
  }
  bool isIndeterminate() const override {
    return recorder_.read(&FakeWindowState::indeterminate);
  }
  void startAnimation() override {
    recorder_.record("progress.startAnimation()",
                     [](FakeWindowState& s) { s.animating = true; });
  }
  void stopAnimation() override {
    recorder_.record("progress.stopAnimation()",
                     [](FakeWindowState& s) { s.animating = false; });
  }

 private:
  Recorder& recorder_;
};

// The status line, or with detail set the line under it.
class FakeTextField : public TextField {
 public:
  FakeTextField(Recorder& recorder, bool detail)
      : recorder_(recorder), detail_(detail) {}

  void setStringValue(const std::string& text) override {
    std::string FakeWindowState::*field =
        detail_ ? &FakeWindowState::detail : &FakeWindowState::text;
    recorder_.record(name() + ".setStringValue(" + text + ")",
                     [&](FakeWindowState& s) { s.*field = text; });
  }
  void setTextColor(TextColor color) override {
    recorder_.record(name() + ".setTextColor(" + colorName(color) + ")",
                     [this, color](FakeWindowState& s) {
                       if (!detail_) s.textColor = color;
                     });
  }

 private:
  std::string name() const { return detail_ ? "detail" : "downloadPercent"; }

  Recorder& recorder_;
  bool detail_;
};

class FakeButton : public Button {
 public:
  explicit FakeButton(Recorder& recorder) : recorder_(recorder) {}

  void setTitle(const std::string& title) override {
    recorder_.record("cancel.setTitle(" + title + ")",
                     [&title](FakeWindowState& s) { s.buttonTitle = title; });
  }
  void setEnabled(bool on) override {
    recorder_.record(std::string("cancel.setEnabled(") + boolean(on) + ")",
                     [on](FakeWindowState& s) { s.buttonEnabled = on; });
  }
  void setKeyEquivalent(const std::string& key) override {
    recorder_.record("cancel.setKeyEquivalent(" + key + ")",
                     [&key](FakeWindowState& s) { s.keyEquivalent = key; });
  }

 private:
  Recorder& recorder_;
};

class FakeDetailsOffer : public DetailsOffer {
 public:
  explicit FakeDetailsOffer(Recorder& recorder) : recorder_(recorder) {}

  void offer(const std::string& details) override {
    recorder_.record("copyDetails.offer(" + details + ")",
                     [&details](FakeWindowState& s) { s.details = details; });
  }

 private:
  Recorder& recorder_;
};

class FakeImageView : public ImageView {
 public:
  explicit FakeImageView(Recorder& recorder) : recorder_(recorder) {}

  bool showImageFile(const std::string& path, int width, int height) override {
    bool loads = isRegularFile(path);
    recorder_.record("image.showImageFile(" + path + ", " +
                         std::to_string(width) + ", " + std::to_string(height) +
                         ")",
                     [&](FakeWindowState& s) {
                       if (loads) s.imagePath = path;
                     });
    return loads;
  }

 private:
  Recorder& recorder_;
};

class FakeWindow : public Window {
 public:
  explicit FakeWindow(Recorder& recorder) : recorder_(recorder) {}

  void close() override {
    recorder_.log("window.close()");
    closeOnce();
  }
  void refresh() override { recorder_.log("window.refresh()"); }
  void setCloseHandler(std::function<void()> handler) override {
    recorder_.log("window.setCloseHandler()");
    closeHandler_ = std::move(handler);
  }

  // True when this call closed the window.
  bool closeOnce() {
    if (!recorder_.markClosed()) return false;
    if (closeHandler_) closeHandler_();
    return true;
  }

 private:
  Recorder& recorder_;
  std::function<void()> closeHandler_;
};

}  // namespace

struct FakeBackend::Controls {
  explicit Controls(const QueueLoop& loop)
      : recorder(loop),
        progress(recorder),
        text(recorder, false),
        detail(recorder, true),
        cancel(recorder),
        image(recorder),
        window(recorder),
        copyDetails(recorder) {}

  Recorder recorder;
  FakeProgress progress;
  FakeTextField text;
  FakeTextField detail;
  FakeButton cancel;
  FakeImageView image;
  FakeWindow window;
  FakeDetailsOffer copyDetails;
};

FakeBackend::FakeBackend(bool clipboard)
    : controls_(new Controls(loop_)), clipboard_(clipboard) {}

FakeBackend::~FakeBackend() = default;

MainLoop& FakeBackend::loop() { return loop_; }

DownloadWindowOutlets FakeBackend::outlets() {
  return {&controls_->progress, &controls_->image,  &controls_->text,
          &controls_->detail,   &controls_->window, &controls_->cancel,
          clipboard_ ? &controls_->copyDetails : nullptr};
}

void FakeBackend::show(const std::string& title) {
  controls_->recorder.record("window.show(" + title + ")",
                             [&title](FakeWindowState& s) { s.title = title; });
}

FakeWindowState FakeBackend::state() const {
  return controls_->recorder.state();
}

bool FakeBackend::pressButton() {
  bool closed = false;
  loop_.dispatchSync([this, &closed] {
    controls_->recorder.log("user.pressButton()");
    closed = controls_->recorder.read(&FakeWindowState::buttonEnabled) &&
             controls_->window.closeOnce();
  });
  return closed;
}

bool FakeBackend::closeWindow() {
  bool closed = false;
  loop_.dispatchSync([this, &closed] {
    controls_->recorder.log("user.closeWindow()");
    closed = controls_->window.closeOnce();
  });
  return closed;
}
