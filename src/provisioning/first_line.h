#ifndef BOOTSTRAP_PROVISIONING_FIRST_LINE_H_
#define BOOTSTRAP_PROVISIONING_FIRST_LINE_H_

#include <string>

// Reads a small state file's first line: the bytes before the first newline,
// nothing trimmed. False when the file cannot be opened as a regular file;
// a FIFO or a device is refused rather than read, so a planted one cannot
// hang the run.
bool readFirstLine(const std::string& path, std::string* line);

#endif
