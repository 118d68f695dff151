#include "provisioning/version_order.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The run of digits at *pos without its leading zeros; moves past it.
std::string numberAt(const std::string& text, size_t* pos) {
  while (*pos < text.size() && text[*pos] == '0') ++*pos;
  size_t start = *pos;
  while (*pos < text.size() && isDigit(text[*pos])) ++*pos;
  return text.substr(start, *pos - start);
}

// Numbers of any length, without overflow: the longer is the larger.
int compareNumbers(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

}  // namespace

int compareVersions(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    int order = isDigit(a[i]) && isDigit(b[j])
                    ? compareNumbers(numberAt(a, &i), numberAt(b, &j))
                    : static_cast<unsigned char>(a[i++]) -
                          static_cast<unsigned char>(b[j++]);
    if (order != 0) return order;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return a.compare(b);
}
