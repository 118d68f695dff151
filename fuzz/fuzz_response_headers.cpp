// Response headers: the input is a header block, one line per '\n', fed
// line by line as it comes off the wire; every value is then read as a
// Retry-After, a Content-Range and an entity tag, and each result is held
// to what its header promises.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "net/response_headers.h"
#include "property_failure.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isTrimmed(const std::string& s) {
  return s.empty() || (!isBlank(s.front()) && !isBlank(s.back()));
}

char foldCase(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  return true;
}

std::string flipCase(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z')
      c = c - 'a' + 'A';
    else if (c >= 'A' && c <= 'Z')
      c = c - 'A' + 'a';
  }
  return s;
}

// headerField against a plain scan: the first field of that name.
void checkLookup(const UrlResponse& response, const std::string& name) {
  const std::string* expected = nullptr;
  for (const auto& field : response.headerFields) {
    if (sameNameIgnoringCase(field.first, name)) {
      expected = &field.second;
      break;
    }
  }
  std::string value = "unset";
  bool found = response.headerField(name, &value);
  if (found != (expected != nullptr))
    fail("headerField found the wrong field", name);
  if (found && value != *expected)
    fail("headerField gave another field's value", name);
  if (response.headerField(name, nullptr) != found)
    fail("headerField without a value pointer disagrees", name);
}

void checkLine(const std::string& line, UrlResponse* response) {
  size_t before = response->headerFields.size();
  // Its own allocation of exactly its length, so reading past it is caught.
  std::unique_ptr<char[]> bytes(new char[line.size()]);
  std::copy(line.begin(), line.end(), bytes.get());
  addHeaderLine(bytes.get(), line.size(), response);

  size_t start = 0, end = line.size();
  while (start < end && isBlank(line[start])) ++start;
  while (end > start && isBlank(line[end - 1])) --end;
  std::string trimmed = line.substr(start, end - start);
  size_t after = response->headerFields.size();
  if (trimmed.compare(0, 5, "HTTP/") == 0) {
    if (after != 0) fail("a status line kept the fields", line);
    return;
  }
  if (trimmed.find(':') == std::string::npos) {
    if (after != before)
      fail("a line without a colon changed the fields", line);
    return;
  }
  if (after != before + 1) fail("a field line did not add one field", line);
  const auto& field = response->headerFields.back();
  const std::string &name = field.first, &value = field.second;
  if (!isTrimmed(name) || !isTrimmed(value))
    fail("a field is not trimmed", line);
  if (name.find(':') != std::string::npos) fail("the name holds a colon", line);
  // The line is name, blanks, the colon, blanks, value.
  if (trimmed.compare(0, name.size(), name) != 0 ||
      trimmed.size() < name.size() + value.size() + 1 ||
      trimmed.compare(trimmed.size() - value.size(), value.size(), value) != 0)
    fail("the field is not the line's name and value", line);
  std::string middle =
      trimmed.substr(name.size(), trimmed.size() - name.size() - value.size());
  size_t colon = middle.find(':');
  if (colon == std::string::npos ||
      middle.find(':', colon + 1) != std::string::npos)
    fail("name and value are not split at the colon", line);
  for (size_t i = 0; i < middle.size(); ++i)
    if (i != colon && !isBlank(middle[i]))
      fail("name and value lost bytes around the colon", line);

  checkLookup(*response, name);
  checkLookup(*response, flipCase(name));
  checkLookup(*response, name + "x");
  checkLookup(*response, "ETag");
}

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!isDigit(c)) return false;
  return true;
}

void checkRetryAfter(const std::string& value) {
  int64_t seconds = -1;
  bool ok = retryAfterSeconds(value, 0, &seconds);
  if (allDigits(value) && value.size() <= 18) {
    if (!ok || seconds != std::stoll(value)) fail("seconds misread", value);
    return;
  }
  if (!ok) return;
  if (seconds < 0) fail("a negative wait", value);
  if (allDigits(value)) return;  // a long number, if taken, is a number
  if (value.size() != 29 || value.compare(25, 4, " GMT") != 0)
    fail("a wait from no date", value);
  // From the epoch the wait is the date itself; the weekday goes unread,
  // and day 29 on or second 60 could roll over, so only the rest compares.
  int day = (value[5] - '0') * 10 + (value[6] - '0');
  if (day <= 28 && value.compare(23, 2, "60") != 0) {
    time_t when = static_cast<time_t>(seconds);
    struct tm parts;
    char text[32];
    if (!gmtime_r(&when, &parts) ||
        strftime(text, sizeof text, "%d %b %Y %H:%M:%S", &parts) != 20 ||
        value.compare(5, 20, text) != 0)
      fail("the wait does not reach the date", value);
  }
  // Later, the same date is that much nearer, and never passed below 0.
  const time_t later = 1000;
  int64_t nearer = -1;
  if (!retryAfterSeconds(value, later, &nearer) ||
      nearer != (seconds > later ? seconds - later : 0))
    fail("the wait does not follow the clock", value);
}

// Reads decimal digits at value[*at...]; past 10^18 it only counts them.
bool digitsAt(const std::string& value, size_t* at, int64_t* number,
              bool* large) {
  size_t start = *at;
  for (*number = 0; *at < value.size() && isDigit(value[*at]); ++*at) {
    if (*number >= 100000000000000000) *large = true;
    if (!*large) *number = *number * 10 + (value[*at] - '0');
  }
  return *at > start;
}

void checkContentRange(const std::string& value) {
  int64_t first = -7, last = -7, complete = -7;
  bool ok = contentRange(value, &first, &last, &complete);
  if (ok && (first < 0 || (complete != -1 && complete <= first)))
    fail("a range outside its length", value);

  size_t at = 6;
  int64_t f = 0, l = 0, s = -1;
  bool large = false;
  bool wellFormed = value.compare(0, 6, "bytes ") == 0 &&
                    digitsAt(value, &at, &f, &large) && at < value.size() &&
                    value[at++] == '-' && digitsAt(value, &at, &l, &large) &&
                    at < value.size() && value[at++] == '/';
  if (wellFormed && value.compare(at, std::string::npos, "*") == 0)
    s = -1;
  else
    wellFormed =
        wellFormed && digitsAt(value, &at, &s, &large) && at == value.size();
  if (ok && !wellFormed) fail("a range taken from a malformed value", value);
  // Numbers past 10^18 are left to the unit tests; below, exact results.
  if (!wellFormed || large) return;
  bool inOrder = f <= l && (s == -1 || l < s);
  if (ok != inOrder)
    fail(ok ? "a range taken out of order" : "a range refused", value);
  if (ok && (first != f || last != l || complete != s))
    fail("a range misread", value);
}

// opaque-tag = DQUOTE *etagc DQUOTE, etagc = %x21 / %x23-7E / %x80-FF.
bool isOpaqueTag(const std::string& tag) {
  if (tag.size() < 2 || tag.front() != '"' || tag.back() != '"') return false;
  for (size_t i = 1; i + 1 < tag.size(); ++i) {
    unsigned char c = tag[i];
    if (c < 0x21 || c == '"' || c == 0x7f) return false;
  }
  return true;
}

void checkEntityTag(const std::string& tag) {
  if (isStrongEntityTag(tag) && !isOpaqueTag(tag))
    fail("a tag taken as strong that If-Range may not carry", tag);
  if (!isStrongEntityTag(tag) && isOpaqueTag(tag))
    fail("a strong tag refused", tag);
}

void checkValue(const std::string& value) {
  checkRetryAfter(value);
  checkContentRange(value);
  checkEntityTag(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  UrlResponse response;
  for (size_t start = 0; start < input.size();) {
    size_t newline = input.find('\n', start);
    size_t end = newline == std::string::npos ? input.size() : newline + 1;
    checkLine(input.substr(start, end - start), &response);
    start = end;
  }
  for (const auto& field : response.headerFields) checkValue(field.second);
  checkValue(input);
  return 0;
}
