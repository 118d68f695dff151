#include "net/response_headers.h"

#include "common/text.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string trimmed(const char* begin, const char* end) {
  while (begin < end && isBlank(*begin)) ++begin;
  while (end > begin && isBlank(end[-1])) --end;
  return std::string(begin, end);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

// Over the whole name, which may hold a NUL, and whatever the locale.
bool sameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

// The decimal digits at text[*at...], as large as a file may be.
bool readNumber(const std::string& text, size_t* at, int64_t* value) {
  return readDecimal(text, at, INT64_MAX, value);
}

// Exactly `width` digits at text[at...].
bool fixedNumber(const std::string& text, size_t at, size_t width, int* value) {
  *value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (i >= text.size() || !isDigit(text[i])) return false;
    *value = *value * 10 + (text[i] - '0');
  }
  return true;
}

int monthIndex(const std::string& name) {
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  for (int month = 0; month < 12; ++month)
    if (name.compare(0, 3, kMonths + 3 * month, 3) == 0) return month;
  return -1;
}

// "Sun, 06 Nov 1994 08:49:37 GMT", the only form servers may send now.
bool parseHttpDate(const std::string& text, time_t* when) {
  if (text.size() != 29 || text.compare(3, 2, ", ") != 0 || text[7] != ' ' ||
      text[11] != ' ' || text[16] != ' ' || text[19] != ':' ||
      text[22] != ':' || text.compare(25, 4, " GMT") != 0)
    return false;
  struct tm parts = {};
  int year = 0;
  parts.tm_mon = monthIndex(text.substr(8, 3));
  if (parts.tm_mon < 0 || !fixedNumber(text, 5, 2, &parts.tm_mday) ||
      !fixedNumber(text, 12, 4, &year) ||
      !fixedNumber(text, 17, 2, &parts.tm_hour) ||
      !fixedNumber(text, 20, 2, &parts.tm_min) ||
      !fixedNumber(text, 23, 2, &parts.tm_sec))
    return false;
  if (parts.tm_mday < 1 || parts.tm_mday > 31 || parts.tm_hour > 23 ||
      parts.tm_min > 59 || parts.tm_sec > 60 || year < 1970)
    return false;
  parts.tm_year = year - 1900;
  *when = timegm(&parts);
  return *when != static_cast<time_t>(-1);
}

}  // namespace

void addHeaderLine(const char* data, size_t length, UrlResponse* response) {
  std::string line = trimmed(data, data + length);
  if (line.compare(0, 5, "HTTP/") == 0) {
    response->headerFields.clear();
    return;
  }
  size_t colon = line.find(':');
  if (colon == std::string::npos) return;
  const char* text = line.data();
  response->headerFields.emplace_back(
      trimmed(text, text + colon),
      trimmed(text + colon + 1, text + line.size()));
}

bool retryAfterSeconds(const std::string& value, time_t now,
                       int64_t* seconds) {
  size_t at = 0;
  if (readNumber(value, &at, seconds) && at == value.size()) return true;
  time_t when;
  if (!parseHttpDate(value, &when)) return false;
  *seconds = when > now ? static_cast<int64_t>(when - now) : 0;
  return true;
}

bool contentRange(const std::string& value, int64_t* first, int64_t* last,
                  int64_t* completeLength) {
  if (value.compare(0, 6, "bytes ") != 0) return false;
  size_t at = 6;
  if (!readNumber(value, &at, first) || at >= value.size() ||
      value[at++] != '-' || !readNumber(value, &at, last) ||
      at >= value.size() || value[at++] != '/' || *first > *last)
    return false;
  if (value.compare(at, std::string::npos, "*") == 0) {
    *completeLength = -1;
    return true;
  }
  return readNumber(value, &at, completeLength) && at == value.size() &&
         *last < *completeLength;
}

bool isContentEncoded(const UrlResponse& response) {
  std::string coding;
  return response.headerField("Content-Encoding", &coding) &&
         !coding.empty() && !sameIgnoringAsciiCase(coding, "identity");
}

bool isStrongEntityTag(const std::string& tag) {
  if (tag.size() < 2 || tag.front() != '"' || tag.back() != '"') return false;
  // A blank, control byte or quote inside is no tag, and a CR could end
  // the request header it is sent back in.
  for (size_t i = 1; i + 1 < tag.size(); ++i) {
    unsigned char c = tag[i];
    if (c <= ' ' || c == '"' || c == 0x7f) return false;
  }
  return true;
}

bool UrlResponse::headerField(const std::string& name,
                              std::string* value) const {
  for (const auto& field : headerFields) {
    if (sameIgnoringAsciiCase(field.first, name)) {
      if (value) *value = field.second;
      return true;
    }
  }
  return false;
}
