#include "platform/log.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/time.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/program_name.h"
#include "platform/run_record.h"

namespace {

// Shorter secrets would mask common words.
constexpr size_t kMinSecretSize = 3;

// Longest first, so that a secret holding another is hidden whole. Lines
// are logged from several threads.
std::mutex secretsMutex;
std::vector<std::string> secrets;

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

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
    int low = high < 0 ? -1 : hexValue(text[i + 2]);
    if (text[i] != '%' || low < 0) {
      decoded += text[i];
      continue;
    }
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

// text with every byte that kept() refuses written in hex with format.
std::string hexEscaped(const std::string& text, bool (*kept)(unsigned char),
                       const char* format) {
  std::string escaped;
  for (unsigned char c : text) {
    if (kept(c)) {
      escaped += static_cast<char>(c);
      continue;
    }
    char hex[8];
    snprintf(hex, sizeof hex, format, c);
    escaped += hex;
  }
  return escaped;
}

bool isUnreserved(unsigned char c) {
  return isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

// Every byte but the unreserved ones, as a URL's user information carries
// it.
std::string percentEncoded(const std::string& text) {
  return hexEscaped(text, isUnreserved, "%%%02X");
}

void addSecret(const std::string& secret) {
  if (std::find(secrets.begin(), secrets.end(), secret) != secrets.end())
    return;
  auto longer = [](const std::string& a, const std::string& b) {
    return a.size() > b.size();
  };
  secrets.insert(
      std::upper_bound(secrets.begin(), secrets.end(), secret, longer),
      secret);
}

std::string withoutSecrets(std::string text) {
  std::lock_guard<std::mutex> lock(secretsMutex);
  for (const std::string& secret : secrets)
    for (size_t at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + 3))
      text.replace(at, secret.size(), "***");
  return text;
}

std::string escapedControls(const std::string& text) {
  return hexEscaped(text, [](unsigned char c) { return !isControl(c); },
                    "\\x%02x");
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
  return escapedControls(withoutPasswords(withoutSecrets(text)));
}

void hideInLog(const std::string& secret) {
  if (secret.size() < kMinSecretSize) return;
  const std::string decoded = percentDecoded(secret);
  std::lock_guard<std::mutex> lock(secretsMutex);
  for (const std::string& form : {secret, decoded, percentEncoded(secret),
                                  percentEncoded(decoded)})
    if (form.size() >= kMinSecretSize) addSecret(form);
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
  char prefix[128];
  snprintf(prefix, sizeof prefix, "%s.%03ld %s[%d] ", stamp,
           now.tv_usec / 1000L, programName(), static_cast<int>(getpid()));
  fprintf(stderr, "%s%s\n", prefix, message.c_str());
  fflush(stderr);
  recordLine(prefix + message);
  syslog(LOG_NOTICE, "%s", message.c_str());
}
