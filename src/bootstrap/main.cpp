#include <signal.h>

#include "bootstrap/bootstrap_sequence.h"
#include "bootstrap/console_reporter.h"
#include "bootstrap/signal_watch.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
  openMissingStandardStreams();
  // A reader of our output that goes away must not end the run; a write
  // then fails with EPIPE, which costs a log line at most. Children start
  // with the default again.
  signal(SIGPIPE, SIG_IGN);
  // Before any other thread starts, so that all of them block the signals.
  startSignalWatch();
  int result = bootstrapInstallerMainFunc(argc, argv, report_message_main);
  // Written after the scratch directory is gone.
  if (result != 0) report_message_main("Installation failed.", true);
  return result;
}
