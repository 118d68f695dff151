#include "provisioning/version_order.h"

namespace {

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isLetter(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The weight of a byte outside a number, as sort -V weighs it: "~" before
// the end (so 1.2~rc1 < 1.2), the end before letters, letters before
// everything else.
int weight(const std::string& text, size_t at) {
  if (at >= text.size()) return 0;
  const int c = static_cast<unsigned char>(text[at]);
  if (isDigit(c)) return 0;
  if (isLetter(c)) return c;
  return c == '~' ? -1 : c + 256;
}

bool digitAt(const std::string& text, size_t at) {
  return at < text.size() && isDigit(text[at]);
}

// Compares the runs of digits at *i and *j as numbers of any length, and
// moves past them.
int compareNumbers(const std::string& a, size_t* i, const std::string& b,
                   size_t* j) {
  while (*i < a.size() && a[*i] == '0') ++*i;
  while (*j < b.size() && b[*j] == '0') ++*j;
  int firstDifference = 0;
  for (; digitAt(a, *i) && digitAt(b, *j); ++*i, ++*j)
    if (firstDifference == 0) firstDifference = a[*i] - b[*j];
  if (digitAt(a, *i)) return 1;
  if (digitAt(b, *j)) return -1;
  return firstDifference;
}

}  // namespace

int compareVersions(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    while ((i < a.size() && !digitAt(a, i)) ||
           (j < b.size() && !digitAt(b, j))) {
      int order = weight(a, i) - weight(b, j);
      if (order != 0) return order;
      ++i;
      ++j;
    }
    int order = compareNumbers(a, &i, b, &j);
    if (order != 0) return order;
  }
  return a.compare(b);
}
