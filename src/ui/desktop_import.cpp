#include "ui/desktop_import.h"

#include <functional>
#include <string>
#include <utility>

namespace {

// What every control reaches the window through.
struct Handle {
  const BootstrapDesktopApi* api;
  BootstrapDesktop* desktop;
};

typedef std::function<void()> Work;

void runWork(void* context) { (*static_cast<const Work*>(context))(); }

// Frees the work either way; runs it only when the loop did.
void runWorkLater(void* context, int run) {
  std::unique_ptr<Work> work(static_cast<Work*>(context));
  if (run) (*work)();
}

class ImportedLoop : public MainLoop {
 public:
  explicit ImportedLoop(Handle h) : h_(h) {}
  int run() override { return h_.api->run(h_.desktop); }
  void stop(int status) override { h_.api->stop(h_.desktop, status); }
  bool dispatchSync(const Work& work) override {
    return h_.api->dispatchSync(h_.desktop, runWork,
                                const_cast<Work*>(&work)) != 0;
  }
  void runAfter(double seconds, Work work) override {
    h_.api->runAfter(h_.desktop, seconds, runWorkLater,
                     new Work(std::move(work)));
  }

 private:
  Handle h_;
};

class ImportedProgress : public ProgressIndicator {
 public:
  explicit ImportedProgress(Handle h) : h_(h) {}
  void setDoubleValue(double value) override {
    h_.api->setProgress(h_.desktop, value);
  }
  double doubleValue() const override { return h_.api->progress(h_.desktop); }
  void incrementBy(double delta) override {
    h_.api->incrementProgress(h_.desktop, delta);
  }
  void setMaxValue(double maxValue) override {
    h_.api->setProgressMax(h_.desktop, maxValue);
  }
  double maxValue() const override { return h_.api->progressMax(h_.desktop); }
  void setIndeterminate(bool indeterminate) override {
    h_.api->setIndeterminate(h_.desktop, indeterminate);
  }
  bool isIndeterminate() const override {
    return h_.api->isIndeterminate(h_.desktop) != 0;
  }
  void startAnimation() override { h_.api->startAnimation(h_.desktop); }
  void stopAnimation() override { h_.api->stopAnimation(h_.desktop); }

 private:
  Handle h_;
};

class ImportedTextField : public TextField {
 public:
  ImportedTextField(Handle h, int field) : h_(h), field_(field) {}
  void setStringValue(const std::string& text) override {
    h_.api->setText(h_.desktop, field_, text.c_str());
  }
  void setTextColor(TextColor color) override {
    h_.api->setTextRed(h_.desktop, field_, color == TextColor::kRed);
  }

 private:
  Handle h_;
  int field_;
};

class ImportedButton : public Button {
 public:
  explicit ImportedButton(Handle h) : h_(h) {}
  void setTitle(const std::string& title) override {
    h_.api->setButtonTitle(h_.desktop, title.c_str());
  }
  void setEnabled(bool enabled) override {
    h_.api->setButtonEnabled(h_.desktop, enabled);
  }
  void setKeyEquivalent(const std::string& key) override {
    h_.api->setButtonKey(h_.desktop, key.c_str());
  }

 private:
  Handle h_;
};

class ImportedImageView : public ImageView {
 public:
  explicit ImportedImageView(Handle h) : h_(h) {}
  bool showImageFile(const std::string& path, int width,
                     int height) override {
    return h_.api->showImageFile(h_.desktop, path.c_str(), width, height) !=
           0;
  }

 private:
  Handle h_;
};

class ImportedDetailsOffer : public DetailsOffer {
 public:
  explicit ImportedDetailsOffer(Handle h) : h_(h) {}
  void offer(const std::string& details) override {
    h_.api->offerDetails(h_.desktop, details.c_str());
  }

 private:
  Handle h_;
};

// Keeps the close handler on this side; the module holds a call into it.
class ImportedWindow : public Window {
 public:
  explicit ImportedWindow(Handle h) : h_(h) {}
  void close() override { h_.api->close(h_.desktop); }
  void refresh() override { h_.api->refresh(h_.desktop); }
  void setCloseHandler(Work handler) override {
    handler_ = std::move(handler);
    h_.api->setCloseHandler(h_.desktop, runWork, &handler_);
  }
  void whenShown(Work work) override {
    h_.api->whenShown(h_.desktop, runWorkLater, new Work(std::move(work)));
  }

 private:
  Handle h_;
  Work handler_;
};

class ImportedBackend : public UiBackend {
 public:
  explicit ImportedBackend(Handle h)
      : h_(h),
        loop_(h),
        progress_(h),
        text_(h, kBootstrapStatusField),
        detail_(h, kBootstrapDetailField),
        image_(h),
        cancel_(h),
        window_(h),
        copyDetails_(h) {}
  // First of all, while the close handler the module may call is still
  // here.
  ~ImportedBackend() override { h_.api->destroy(h_.desktop); }
  ImportedBackend(const ImportedBackend&) = delete;
  ImportedBackend& operator=(const ImportedBackend&) = delete;

  MainLoop& loop() override { return loop_; }
  DownloadWindowOutlets outlets() override {
    return {&progress_, &image_,  &text_,  &detail_,
            &window_,   &cancel_, &copyDetails_};
  }
  void show(const std::string& title) override {
    h_.api->show(h_.desktop, title.c_str());
  }

 private:
  Handle h_;
  ImportedLoop loop_;
  ImportedProgress progress_;
  ImportedTextField text_;
  ImportedTextField detail_;
  ImportedImageView image_;
  ImportedButton cancel_;
  ImportedWindow window_;
  ImportedDetailsOffer copyDetails_;
};

}  // namespace

std::unique_ptr<UiBackend> importBackend(const BootstrapDesktopApi* api,
                                         BootstrapDesktop* desktop) {
  return std::unique_ptr<UiBackend>(
      new ImportedBackend(Handle{api, desktop}));
}
