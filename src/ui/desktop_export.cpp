#include "ui/desktop_export.h"

#include <functional>
#include <string>

struct BootstrapDesktop {
  std::unique_ptr<UiBackend> backend;
  DownloadWindowOutlets outlets;
};

namespace {

MainLoop& loopOf(BootstrapDesktop* desktop) {
  return desktop->backend->loop();
}

TextField* fieldOf(BootstrapDesktop* desktop, int field) {
  return field == kBootstrapDetailField ? desktop->outlets.detail
                                        : desktop->outlets.downloadPercent;
}

// Work for later, answered exactly once: run when the loop runs it, or
// dropped unrun when the loop lets go of it first.
class LaterCall {
 public:
  LaterCall(BootstrapLaterCall work, void* context)
      : work_(work), context_(context) {}
  ~LaterCall() {
    if (work_) work_(context_, 0);
  }
  LaterCall(const LaterCall&) = delete;
  LaterCall& operator=(const LaterCall&) = delete;

  void run() {
    BootstrapLaterCall work = work_;
    work_ = nullptr;
    work(context_, 1);
  }

 private:
  BootstrapLaterCall work_;
  void* context_;
};

void setLoopCalls(BootstrapDesktopApi* api) {
  api->run = [](BootstrapDesktop* d) { return loopOf(d).run(); };
  api->stop = [](BootstrapDesktop* d, int status) { loopOf(d).stop(status); };
  api->dispatchSync = [](BootstrapDesktop* d, BootstrapCall work,
                         void* context) -> int {
    return loopOf(d).dispatchSync([work, context] { work(context); });
  };
  api->runAfter = [](BootstrapDesktop* d, double seconds,
                     BootstrapLaterCall work, void* context) {
    auto later = std::make_shared<LaterCall>(work, context);
    loopOf(d).runAfter(seconds, [later] { later->run(); });
  };
}

void setProgressCalls(BootstrapDesktopApi* api) {
  api->setProgress = [](BootstrapDesktop* d, double value) {
    d->outlets.progress->setDoubleValue(value);
  };
  api->progress = [](BootstrapDesktop* d) {
    return d->outlets.progress->doubleValue();
  };
  api->incrementProgress = [](BootstrapDesktop* d, double delta) {
    d->outlets.progress->incrementBy(delta);
  };
  api->setProgressMax = [](BootstrapDesktop* d, double maxValue) {
    d->outlets.progress->setMaxValue(maxValue);
  };
  api->progressMax = [](BootstrapDesktop* d) {
    return d->outlets.progress->maxValue();
  };
  api->setIndeterminate = [](BootstrapDesktop* d, int indeterminate) {
    d->outlets.progress->setIndeterminate(indeterminate != 0);
  };
  api->isIndeterminate = [](BootstrapDesktop* d) -> int {
    return d->outlets.progress->isIndeterminate();
  };
  api->startAnimation = [](BootstrapDesktop* d) {
    d->outlets.progress->startAnimation();
  };
  api->stopAnimation = [](BootstrapDesktop* d) {
    d->outlets.progress->stopAnimation();
  };
}

void setControlCalls(BootstrapDesktopApi* api) {
  api->setText = [](BootstrapDesktop* d, int field, const char* text) {
    fieldOf(d, field)->setStringValue(text);
  };
  api->setTextRed = [](BootstrapDesktop* d, int field, int red) {
    fieldOf(d, field)->setTextColor(red ? TextColor::kRed : TextColor::kNormal);
  };
  api->setButtonTitle = [](BootstrapDesktop* d, const char* title) {
    d->outlets.cancel->setTitle(title);
  };
  api->setButtonEnabled = [](BootstrapDesktop* d, int enabled) {
    d->outlets.cancel->setEnabled(enabled != 0);
  };
  api->setButtonKey = [](BootstrapDesktop* d, const char* key) {
    d->outlets.cancel->setKeyEquivalent(key);
  };
  api->showImageFile = [](BootstrapDesktop* d, const char* path, int width,
                          int height) -> int {
    return d->outlets.image->showImageFile(path, width, height);
  };
}

void setWindowCalls(BootstrapDesktopApi* api) {
  api->destroy = [](BootstrapDesktop* d) { delete d; };
  api->show = [](BootstrapDesktop* d, const char* title) {
    d->backend->show(title);
  };
  api->close = [](BootstrapDesktop* d) { d->outlets.window->close(); };
  api->refresh = [](BootstrapDesktop* d) { d->outlets.window->refresh(); };
  api->setCloseHandler = [](BootstrapDesktop* d, BootstrapCall handler,
                            void* context) {
    d->outlets.window->setCloseHandler(
        [handler, context] { handler(context); });
  };
  api->whenShown = [](BootstrapDesktop* d, BootstrapLaterCall work,
                      void* context) {
    auto later = std::make_shared<LaterCall>(work, context);
    d->outlets.window->whenShown([later] { later->run(); });
  };
  api->offerDetails = [](BootstrapDesktop* d, const char* details) {
    d->outlets.copyDetails->offer(details);
  };
}

BootstrapDesktopApi makeApi() {
  BootstrapDesktopApi api{};
  setLoopCalls(&api);
  setProgressCalls(&api);
  setControlCalls(&api);
  setWindowCalls(&api);
  return api;
}

}  // namespace

BootstrapDesktop* exportBackend(std::unique_ptr<UiBackend> backend) {
  DownloadWindowOutlets outlets = backend->outlets();
  return new BootstrapDesktop{std::move(backend), outlets};
}

const BootstrapDesktopApi* exportedDesktopApi() {
  static const BootstrapDesktopApi api = makeApi();
  return &api;
}
