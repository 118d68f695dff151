#ifndef BOOTSTRAP_PLATFORM_STDERR_RELAY_H_
#define BOOTSTRAP_PLATFORM_STDERR_RELAY_H_

#include <sys/types.h>

#include "platform/error_tail.h"

// Relays what the child pid writes into the pipe whose read end is fd to
// our standard error, byte for byte as it comes, and to tail, until the
// child has ended and what it wrote before is read; the child is left
// unreaped. It does not wait for the pipe's end: a program the child left
// running may hold it for long. Such a program keeps a way out: a
// forwarder process of its own, which the run's end does not stop, takes
// the pipe over and relays until the last writer closes it. Closes fd.
void relayUntilEnded(int fd, pid_t pid, ErrorTail* tail);

#endif
