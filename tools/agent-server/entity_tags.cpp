#include "entity_tags.h"

bool noneMatchNames(const std::string& header, const std::string& etag) {
  size_t i = 0;
  while (i < header.size()) {
    char c = header[i];
    if (c == ' ' || c == '\t' || c == ',') {
      ++i;
      continue;
    }
    if (c == '*') return true;
    if (header.compare(i, 2, "W/") == 0) i += 2;
    if (i >= header.size() || header[i] != '"') return false;
    // A tag's own characters exclude the quote, yet may include commas.
    size_t close = header.find('"', i + 1);
    if (close == std::string::npos) return false;
    if (header.compare(i, close + 1 - i, etag) == 0) return true;
    i = close + 1;
  }
  return false;
}
