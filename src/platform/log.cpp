#include "platform/log.h"

#include <stdarg.h>
#include <stdio.h>
#include <sys/time.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include "platform/program_name.h"

namespace {

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

// The user information runs up to the last '@' of the authority, so that
// a raw '@' in a password cannot leave the password's tail in view; the
// authority ends at a blank too, where the log's own words go on.
std::string withoutPasswords(std::string text) {
  for (size_t scheme = text.find("://"); scheme != std::string::npos;
       scheme = text.find("://", scheme + 3)) {
    size_t from = scheme + 3, end = text.find_first_of("/?# ", from);
    size_t at = text.rfind('@', end == std::string::npos ? end : end - 1);
    if (at == std::string::npos || at < from) continue;
    size_t colon = text.find(':', from);
    size_t hidden = colon < at ? colon + 1 : from;
    if (hidden < at) text.replace(hidden, at - hidden, "***");
  }
  return text;
}

std::string escapedControls(const std::string& text) {
  std::string escaped;
  for (unsigned char c : text) {
    if (!isControl(c)) {
      escaped += static_cast<char>(c);
      continue;
    }
    char hex[5];
    snprintf(hex, sizeof hex, "\\x%02x", c);
    escaped += hex;
  }
  return escaped;
}

// The whole message, however long: cut short, a URL could lose the '@'
// that marks its password.
std::string formatted(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  int length = vsnprintf(nullptr, 0, format, args);
  std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  vsnprintf(&message[0], message.size() + 1, format, again);
  va_end(again);
  return message;
}

}  // namespace

std::string loggable(const std::string& text) {
  return escapedControls(withoutPasswords(text));
}

void logLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = loggable(formatted(format, args));
  va_end(args);

  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  fprintf(stderr, "%s.%03ld %s[%d] %s\n", stamp, now.tv_usec / 1000L,
          programName(), static_cast<int>(getpid()),
          message.c_str());
  fflush(stderr);
  syslog(LOG_NOTICE, "%s", message.c_str());
}
