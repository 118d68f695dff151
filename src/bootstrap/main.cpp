#include <signal.h>

#include <atomic>

#include "bootstrap/bootstrap_sequence.h"
#include "bootstrap/console_reporter.h"
#include "bootstrap/credentials.h"
#include "bootstrap/failure_report.h"
#include "bootstrap/signal_watch.h"
#include "common/settings.h"
#include "download_window/download_entry.h"
#include "platform/bundle_paths.h"
#include "platform/command_runner.h"
#include "platform/log.h"
#include "platform/program_name.h"
#include "platform/run_record.h"
#include "platform/standard_streams.h"
#include "ui/failure_window.h"

namespace {

std::atomic<bool> stoppedBySignal(false);

// A stop signal ends the run: no further command starts, the running one
// hears of it once, the download window closes, and no failure window
// shows or stays (whoever sent it wants the run over, not a window).
void stopTheRun(int sig, const char* name, bool commandHasIt) {
  stoppedBySignal = true;
  interruptCommands(sig, !commandHasIt);  // first: no next step starts
  closeDownloadWindow(name);
  closeFailureWindow();
}

}  // namespace

int main(int argc, char** argv) {
  openMissingStandardStreams();
  // A reader of our output that goes away must not end the run; a write
  // then fails with EPIPE, which costs a log line at most. Children start
  // with the default again.
  signal(SIGPIPE, SIG_IGN);
  const Settings settings = settingsFromEnvironment();
  hideCredentials(settings);
  setCommandPath(settings.path);
  // Before any other thread starts, so that all of them block the signals.
  startSignalWatch(stopTheRun);
  // Heads the failure log: which installer, of which bundle.
  recordLine(std::string(programName()) + " " BOOTSTRAP_VERSION " in " +
             loggable(mainBundle().bundlePath));
  int result =
      bootstrapInstallerMainFunc(argc, argv, settings, report_message_main);
  if (result == 0) return 0;
  // Written after the scratch directory is gone.
  report_message_main("Installation failed.", true);
  reportFailure(settings, stoppedBySignal);
  return result;
}
