#include "bootstrap/signal_wait.h"

bool waitForSignal(const sigset_t& set, ReceivedSignal* received) {
  siginfo_t info;
  int sig = sigwaitinfo(&set, &info);
  if (sig < 0) return false;
  received->number = sig;
  received->fromTerminal = info.si_code == SI_KERNEL;
  return true;
}
