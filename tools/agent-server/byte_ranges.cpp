#include "byte_ranges.h"

#include <algorithm>

bool keepSatisfiableRanges(ssize_t size, ByteRanges* ranges) {
  ByteRanges asked;
  asked.swap(*ranges);
  for (const auto& range : asked) {
    ssize_t first = range.first, last = range.second;
    if (first < 0) {  // a suffix: the last `last` bytes
      if (last <= 0 || size == 0) continue;
      first = std::max<ssize_t>(0, size - last);
      last = size - 1;
    } else {
      if (first >= size) continue;
      if (last < 0 || last >= size) last = size - 1;
    }
    ranges->emplace_back(first, last);
  }
  return !ranges->empty();
}
