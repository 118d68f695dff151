// A program's last lines on standard error, however its bytes come and in
// whatever chunks: never more lines or longer ones than the bounds, never a
// control byte or a blank line, and the same whether fed whole or in parts.
// The first byte sets where the input is cut into chunks.
#include <stddef.h>
#include <stdint.h>

#include <algorithm>

#include <string>
#include <vector>

#include "platform/error_tail.h"
#include "property_failure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t step = data[0] % 16 + 1;
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  ErrorTail whole, parts;
  whole.add(input.data(), input.size());
  for (size_t at = 0; at < input.size(); at += step)
    parts.add(input.data() + at, std::min(step, input.size() - at));
  const std::vector<std::string> lines = whole.lines();
  if (lines != parts.lines()) fail("chunks changed the lines", input);
  if (lines.size() > ErrorTail::kMaxLines) fail("too many lines", input);
  for (const std::string& line : lines) {
    if (line.size() > ErrorTail::kMaxLineBytes) fail("line too long", input);
    if (line.find_first_not_of(' ') == std::string::npos)
      fail("blank line kept", input);
    for (unsigned char c : line)
      if (c < 0x20 || c == 0x7f) fail("control byte kept", input);
  }
  return 0;
}
