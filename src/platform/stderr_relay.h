#ifndef BOOTSTRAP_PLATFORM_STDERR_RELAY_H_
#define BOOTSTRAP_PLATFORM_STDERR_RELAY_H_

#include <sys/types.h>

#include "platform/error_tail.h"

// A command's standard error through us: a relay process of its own reads
// what the command writes into a pipe, passes it on to our standard error
// byte for byte as it comes, and copies it to the run, which keeps its last
// lines. The relay is not tied to the run: killed, the run leaves it to
// go on until the last writer (the command, or a program it left running)
// closes the pipe, so that none of them dies of a pipe without a reader.
// A relay still running when the run ends is init's to reap.
class StderrRelay {
 public:
  StderrRelay() = default;
  ~StderrRelay();
  StderrRelay(const StderrRelay&) = delete;
  StderrRelay& operator=(const StderrRelay&) = delete;

  // False (errno set) when no pipe or process could be made: the command
  // then writes to our standard error itself.
  bool start();
  // The end the command writes into, as its standard error; closed here
  // once the command has started (or could not be).
  int commandEnd() const { return commandEnd_; }
  void commandStarted();
  // Reads the copies into tail until the command pid has ended and the
  // relay has passed on all it wrote before; the command is left unreaped.
  void collect(pid_t pid, ErrorTail* tail);

 private:
  int commandEnd_ = -1;
  int copies_ = -1;  // what the relay read, for the tail
  int ended_ = -1;   // written once the command has ended
  pid_t relay_ = -1;
};

#endif
