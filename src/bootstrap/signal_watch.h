#ifndef BOOTSTRAP_BOOTSTRAP_SIGNAL_WATCH_H_
#define BOOTSTRAP_BOOTSTRAP_SIGNAL_WATCH_H_

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread, and so in every
// thread started after it, and starts a thread that takes them instead.
// Each one is forwarded to the running command and stops the run: the
// download window closes, no further command starts, and no failure window
// shows or stays. Call it first in
// main, before any other thread exists. Should the thread not start, the
// signals keep their usual effect.
void startSignalWatch();

#endif
