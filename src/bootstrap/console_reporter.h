#ifndef BOOTSTRAP_BOOTSTRAP_CONSOLE_REPORTER_H_
#define BOOTSTRAP_BOOTSTRAP_CONSOLE_REPORTER_H_

#include <string>

// Writes message and a newline to standard error (isError) or standard
// output, then flushes: no prefix, no time stamp.
void report_message_to_console(const std::string& message, bool isError);

// The reporter main hands to the bootstrap sequence.
void report_message_main(const std::string& message, bool isError);

#endif
