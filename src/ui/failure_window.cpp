#include "ui/failure_window.h"

#include <poll.h>
#include <unistd.h>

#include "platform/pipes.h"
#include "ui/backend.h"
#include "ui/desktop_module.h"
#include "ui/window_title.h"

namespace {

// A pipe that becomes readable once the window is to close: the module
// watches it in its own loop, and it keeps saying so to a window that only
// opens later.
struct Closer {
  Closer() {
    if (!openPipe(fds, PipeMode::kNonBlocking)) fds[0] = fds[1] = -1;
  }
  int fds[2];
};

Closer& closer() {
  static Closer pipe;
  return pipe;
}

bool closeRequested(int readFd) {
  struct pollfd ready = {readFd, POLLIN, 0};
  return poll(&ready, 1, 0) != 0;
}

}  // namespace

void closeFailureWindow() {
  int writeFd = closer().fds[1];
  if (writeFd < 0) return;
  const char byte = 1;
  // A pipe too full to take it is readable already.
  ssize_t written = write(writeFd, &byte, 1);
  (void)written;
}

void showFailureWindow(const std::vector<std::string>& lines,
                       const std::string& details, bool desktop) {
  // Without the pipe no signal could close it, and a stopped run would
  // wait on.
  int closeFd = closer().fds[0];
  if (closeFd < 0 || closeRequested(closeFd) || !desktop) return;
  std::string unsaid;  // "Installation failed." was the last word
  FailureEntryFn entry = loadFailureWindowEntry(&unsaid);
  if (!entry) return;
  std::vector<const char*> texts;
  for (const std::string& line : lines) texts.push_back(line.c_str());
  const std::string title = bundleWindowTitle() + ": Installation failed";
  entry(title.c_str(), texts.data(), texts.size(), details.c_str(), closeFd);
}
