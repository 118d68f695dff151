#ifndef BOOTSTRAP_UI_CONSOLE_CONSOLE_WINDOW_H_
#define BOOTSTRAP_UI_CONSOLE_CONSOLE_WINDOW_H_

#include <stdio.h>

#include <chrono>
#include <functional>
#include <string>

#include "ui/console/console_widgets.h"
#include "ui/main_loop.h"

// The download window drawn on a stream, from the progress indicator and
// the text field, whenever it is refreshed.
//
// On a terminal one live line shows the status and, while the progress
// value moves, how much has arrived, of what total, how fast and how long
// the rest will take; it is redrawn in place at most ten times a second and
// ended with a newline when the status changes or the window closes.
// Elsewhere (a log, a pipe) each new status is printed once, on a line of
// its own. A failure (red text) is printed as it is, and then the window
// closes itself through the loop, since nobody can press its button.
class ConsoleWindow : public Window {
 public:
  ConsoleWindow(FILE* stream, bool isTerminal, MainLoop& loop,
                const ConsoleProgress& progress, const ConsoleTextField& text);
  // Ends an open line, so that later output starts on a line of its own.
  ~ConsoleWindow() override;
  ConsoleWindow(const ConsoleWindow&) = delete;
  ConsoleWindow& operator=(const ConsoleWindow&) = delete;

  void close() override;
  void refresh() override;
  void setCloseHandler(std::function<void()> handler) override;

 private:
  typedef std::chrono::steady_clock Clock;

  void showFailure(const std::string& message);
  void beginStatus(Clock::time_point now);
  double bytesPerSecond(Clock::time_point now) const;
  std::string currentLine(Clock::time_point now) const;
  void updateLiveLine(Clock::time_point now);
  void drawLine(Clock::time_point now);
  void finishLine();
  void write(const std::string& text);

  FILE* stream_;
  bool isTerminal_;
  MainLoop& loop_;
  const ConsoleProgress& progress_;
  const ConsoleTextField& text_;
  std::function<void()> closeHandler_;
  bool closed_ = false;
  bool failed_ = false;

  std::string status_;    // the status text as of the last refresh
  double lastValue_ = 0;  // the progress value as of the last refresh
  double baseline_ = 0;   // the progress value before status_ appeared

  // The average rate is measured from when the status appeared.
  Clock::time_point meterStart_;
  double meterStartValue_ = 0;

  bool lineOpen_ = false;
  std::string drawn_;    // what the live line shows
  std::string pending_;  // what it should show
  Clock::time_point lastDraw_;
};

#endif
