#ifndef BOOTSTRAP_PLATFORM_PIPES_H_
#define BOOTSTRAP_PLATFORM_PIPES_H_

enum class PipeMode { kBlocking, kNonBlocking };

// A pipe whose ends (fds[0] to read, fds[1] to write) are close-on-exec
// from the start, where the platform can do it atomically, so that a child
// started meanwhile on another thread does not keep one open; both ends
// non-blocking in kNonBlocking mode. False with errno set on failure.
// Each platform has its own file for it.
bool openPipe(int fds[2], PipeMode mode = PipeMode::kBlocking);

#endif
