#include "bootstrap/signal_watch.h"

#include <pthread.h>
#include <signal.h>

#include "bootstrap/signal_wait.h"

namespace {

SignalAction action = nullptr;

struct WatchedSignal {
  int number;
  const char* name;
};
const WatchedSignal kWatched[] = {
    {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};

sigset_t watchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const WatchedSignal& watched : kWatched)
    sigaddset(&set, watched.number);
  return set;
}

const char* nameOf(int sig) {
  for (const WatchedSignal& watched : kWatched)
    if (watched.number == sig) return watched.name;
  return "?";
}

// Runs until the process ends; exit() needs nothing from it.
void* watch(void*) {
  sigset_t set = watchedSignals();
  for (;;) {
    ReceivedSignal received;
    if (!waitForSignal(set, &received)) continue;
    // The terminal (Ctrl-C, a hangup) signals the whole foreground process
    // group, the running command included.
    action(received.number, nameOf(received.number), received.fromTerminal);
  }
  return nullptr;
}

}  // namespace

void startSignalWatch(SignalAction onSignal) {
  action = onSignal;
  sigset_t set = watchedSignals(), previous;
  pthread_sigmask(SIG_BLOCK, &set, &previous);
  pthread_t thread;
  if (pthread_create(&thread, nullptr, watch, nullptr) != 0) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return;
  }
  pthread_detach(thread);
}
