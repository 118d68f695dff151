#ifndef BOOTSTRAP_BOOTSTRAP_SIGNAL_WAIT_H_
#define BOOTSTRAP_BOOTSTRAP_SIGNAL_WAIT_H_

#include <signal.h>

struct ReceivedSignal {
  int number = 0;
  // Sent by the system rather than by a process: the terminal's Ctrl-C or
  // hangup, which reach the whole foreground process group.
  bool fromTerminal = false;
};

// Waits for one of the signals in set, which the calling thread blocks,
// and takes it. False when the wait was cut short (a signal outside set);
// then *received is unchanged. Each platform has its own file for it.
bool waitForSignal(const sigset_t& set, ReceivedSignal* received);

#endif
