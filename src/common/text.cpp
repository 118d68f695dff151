#include "common/text.h"

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string joinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

bool readDecimal(const std::string& text, size_t* at, int64_t max,
                 int64_t* value) {
  size_t start = *at;
  *value = 0;
  for (; *at < text.size() && text[*at] >= '0' && text[*at] <= '9'; ++*at) {
    int digit = text[*at] - '0';
    if (*value > (max - digit) / 10) return false;
    *value = *value * 10 + digit;
  }
  return *at > start;
}

bool parseDecimal(const std::string& text, int64_t max, int64_t* value) {
  size_t at = 0;
  return readDecimal(text, &at, max, value) && at == text.size();
}

bool hasControlCharacter(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) return true;
  return false;
}

std::string shortened(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes - 3;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80)
    --end;
  return text.substr(0, end) + "...";
}
