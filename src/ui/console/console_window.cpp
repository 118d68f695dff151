#include "ui/console/console_window.h"

#include "ui/transfer_figures.h"

namespace {

const std::chrono::milliseconds kRedrawInterval(100);

}  // namespace

ConsoleWindow::ConsoleWindow(FILE* stream, bool isTerminal, MainLoop& loop,
                             const ConsoleProgress& progress,
                             const ConsoleTextField& text)
    : stream_(stream),
      isTerminal_(isTerminal),
      loop_(loop),
      progress_(progress),
      text_(text),
      meterStart_(Clock::now()) {}

ConsoleWindow::~ConsoleWindow() { finishLine(); }

void ConsoleWindow::close() {
  if (closed_) return;
  closed_ = true;
  finishLine();
  if (closeHandler_) closeHandler_();
}

void ConsoleWindow::refresh() {
  if (closed_ || failed_) return;
  if (text_.color() == TextColor::kRed) return showFailure(text_.text());
  Clock::time_point now = Clock::now();
  if (text_.text() != status_) beginStatus(now);
  if (isTerminal_) updateLiveLine(now);
  lastValue_ = progress_.doubleValue();
}

void ConsoleWindow::setCloseHandler(std::function<void()> handler) {
  closeHandler_ = std::move(handler);
}

void ConsoleWindow::showFailure(const std::string& message) {
  failed_ = true;
  finishLine();
  write(message + "\n");
  // Close as a user pressing "Close" would, so that the handler runs on
  // the loop, after the code that showed the failure has returned.
  loop_.runAfter(0, [this] { close(); });
}

void ConsoleWindow::beginStatus(Clock::time_point now) {
  finishLine();
  status_ = text_.text();
  baseline_ = lastValue_;
  meterStart_ = now;
  meterStartValue_ = progress_.doubleValue();
  if (!isTerminal_ && !status_.empty()) write(status_ + "\n");
}

double ConsoleWindow::bytesPerSecond(Clock::time_point now) const {
  return averageRate(progress_.doubleValue() - meterStartValue_,
                     std::chrono::duration<double>(now - meterStart_).count());
}

std::string ConsoleWindow::currentLine(Clock::time_point now) const {
  // Figures belong to a status under which the value moves: a status
  // such as "Initializing the installer" keeps the downloaded total in the
  // indicator but has no bytes of its own to show.
  if (progress_.doubleValue() == baseline_) return status_;
  TransferFigures figures;
  figures.received = progress_.doubleValue();
  if (!progress_.isIndeterminate()) figures.total = progress_.maxValue();
  figures.bytesPerSecond = bytesPerSecond(now);
  return status_.empty() ? transferFigures(figures)
                         : status_ + ": " + transferFigures(figures);
}

void ConsoleWindow::updateLiveLine(Clock::time_point now) {
  pending_ = currentLine(now);
  if (pending_ == drawn_) return;
  if (!lineOpen_ || now - lastDraw_ >= kRedrawInterval) drawLine(now);
}

void ConsoleWindow::drawLine(Clock::time_point now) {
  write("\r" + pending_ + "\033[K");
  drawn_ = pending_;
  lineOpen_ = true;
  lastDraw_ = now;
}

// Shows the latest state that was held back, then moves to a new line.
void ConsoleWindow::finishLine() {
  if (!lineOpen_) return;
  if (pending_ != drawn_) drawLine(Clock::now());
  write("\n");
  lineOpen_ = false;
  drawn_.clear();
  pending_.clear();
}

void ConsoleWindow::write(const std::string& text) {
  fwrite(text.data(), 1, text.size(), stream_);
  fflush(stream_);
}
