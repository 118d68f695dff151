#ifndef BOOTSTRAP_PLATFORM_STATE_FILE_H_
#define BOOTSTRAP_PLATFORM_STATE_FILE_H_

#include <string>

// Small state files of one line (the cache's marker and the records beside
// it, the bundle's URL file), read and written so that a file planted in
// their place cannot hang the run or exhaust its memory.

// The start of a small state file: at most kMaxStateLineLength + 1 bytes,
// so that a huge or sparse file costs no more than that. False when the
// file cannot be opened as a regular file; a FIFO or a device is refused
// rather than read, so a planted one cannot hang the run.
bool readFileStart(const std::string& path, std::string* start);

// The first maxBytes bytes of a regular file (all of a smaller one), read
// as above; a caller that wants to refuse a larger file asks for one byte
// more than it takes.
bool readSmallFile(const std::string& path, size_t maxBytes,
                   std::string* text);

// Where the line of a file's start (as read above) that begins at from
// ends: its newline, or the end of a file that held no more; npos when
// the line may run on past the limit.
size_t lineEnd(const std::string& start, size_t from);

// The one log line for a state file whose line is longer than the limit.
void logLineTooLong(const std::string& path);

// The first line: the bytes before the first newline, nothing trimmed.
// False when the file cannot be read as above, or when its first line is
// longer than kMaxStateLineLength (logged).
bool readFirstLine(const std::string& path, std::string* line);

// Writes text as the whole file (made 0644 when new); nothing is written
// into anything but a regular file. Non-blocking, so that a FIFO planted in
// its place cannot hang the run.
void writeStateFile(const std::string& path, const std::string& text);

#endif
