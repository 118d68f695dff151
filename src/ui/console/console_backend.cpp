#include "ui/console/console_backend.h"

#include <unistd.h>

#include "ui/console/console_widgets.h"
#include "ui/console/console_window.h"
#include "ui/queue_loop.h"

namespace {

class ConsoleBackend : public UiBackend {
 public:
  ConsoleBackend(FILE* stream, bool isTerminal)
      : window_(stream, isTerminal, loop_, progress_, text_) {}

  MainLoop& loop() override { return loop_; }

  DownloadWindowOutlets outlets() override {
    return {&progress_, &image_, &text_, &detail_, &window_, &cancel_};
  }

  // The statuses say all there is to say; a title line would be noise.
  void show(const std::string&) override {}

 private:
  // The window refers to the others, so it comes last.
  QueueLoop loop_;
  ConsoleProgress progress_;
  ConsoleTextField text_;
  ConsoleTextField detail_;
  ConsoleImageView image_;
  ConsoleButton cancel_;
  ConsoleWindow window_;
};

}  // namespace

std::unique_ptr<UiBackend> makeConsoleBackend(FILE* stream, bool isTerminal) {
  return std::unique_ptr<UiBackend>(new ConsoleBackend(stream, isTerminal));
}

std::unique_ptr<UiBackend> makeConsoleBackend() {
  return makeConsoleBackend(stderr, isatty(fileno(stderr)) == 1);
}
