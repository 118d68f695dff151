#ifndef BOOTSTRAP_BOOTSTRAP_SIGNAL_WATCH_H_
#define BOOTSTRAP_BOOTSTRAP_SIGNAL_WATCH_H_

// What a stop signal does: sig and its name ("SIGTERM"), and whether the
// running command got it too (the terminal signals the whole foreground
// process group), so that it need not hear it twice.
typedef void (*SignalAction)(int sig, const char* name, bool commandHasIt);

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread, and so in every
// thread started after it, and starts a thread that takes them instead and
// runs onSignal for each, on that thread. Call it first in main, before
// any other thread exists. Should the thread not start, the signals keep
// their usual effect.
void startSignalWatch(SignalAction onSignal);

#endif
