#ifndef BOOTSTRAP_COMMON_WRITE_ALL_H_
#define BOOTSTRAP_COMMON_WRITE_ALL_H_

#include <stddef.h>

// Writes all size bytes to fd, resuming after a short write or a signal;
// false with errno set when a write fails.
bool writeAll(int fd, const char* data, size_t size);

#endif
