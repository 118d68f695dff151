#ifndef BOOTSTRAP_TOOLS_AGENT_SERVER_BYTE_RANGES_H_
#define BOOTSTRAP_TOOLS_AGENT_SERVER_BYTE_RANGES_H_

#include <sys/types.h>

#include <utility>
#include <vector>

// Ranges as the HTTP library parses a Range header: (first, last), with -1
// for a bound not given, so (-1, n) is the last n bytes.
typedef std::vector<std::pair<ssize_t, ssize_t>> ByteRanges;

// Keeps those of *ranges that a file of size bytes can satisfy, made
// absolute and cut at its end; false when none is left, and the request
// must be refused with 416. The library would otherwise announce bytes
// past the end and then fail to send them.
bool keepSatisfiableRanges(ssize_t size, ByteRanges* ranges);

#endif
