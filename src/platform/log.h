#ifndef BOOTSTRAP_PLATFORM_LOG_H_
#define BOOTSTRAP_PLATFORM_LOG_H_

// One diagnostic line, printf-style: to standard error with a time stamp,
// the program's name and pid, and the same text to the system log.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif
