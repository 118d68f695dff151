#include "bootstrap/bootstrap_sequence.h"
#include "bootstrap/console_reporter.h"
#include "bootstrap/signal_watch.h"

int main(int argc, char** argv) {
  // Before any other thread starts, so that all of them block the signals.
  startSignalWatch();
  int result = bootstrapInstallerMainFunc(argc, argv, report_message_main);
  // Written after the scratch directory is gone.
  if (result != 0) report_message_main("Installation failed.", true);
  return result;
}
