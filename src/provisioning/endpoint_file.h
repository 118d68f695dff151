#ifndef BOOTSTRAP_PROVISIONING_ENDPOINT_FILE_H_
#define BOOTSTRAP_PROVISIONING_ENDPOINT_FILE_H_

#include <string>

#include "common/report_fn.h"

// The download URL in "installAgentURL.txt": its first non-blank line,
// trimmed of blanks, tabs and carriage returns, after a UTF-8 byte order
// mark at the file's start, so that a file written on another system reads
// the same. Empty when the file is missing (silently), unreadable
// (reported), holds no such line within kMaxStateLineLength bytes, or a
// URL with a control character (each logged).
std::string readEndpointUrlFile(std::string path, ReportFn report);

#endif
