#include "platform/log.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/time.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

// program_invocation_short_name comes from glibc's <errno.h>.

void logLine(const char* format, ...) {
  char message[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof message, format, args);
  va_end(args);

  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  fprintf(stderr, "%s.%03ld %s[%d] %s\n", stamp, now.tv_usec / 1000L,
          program_invocation_short_name, static_cast<int>(getpid()), message);
  fflush(stderr);
  syslog(LOG_NOTICE, "%s", message);
}
