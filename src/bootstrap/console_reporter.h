#ifndef BOOTSTRAP_BOOTSTRAP_CONSOLE_REPORTER_H_
#define BOOTSTRAP_BOOTSTRAP_CONSOLE_REPORTER_H_

#include <string>
#include <vector>

// Writes message and a newline to standard error (isError) or standard
// output, then flushes: no prefix, no time stamp.
void report_message_to_console(const std::string& message, bool isError);

// The reporter main hands to the bootstrap sequence. It also keeps the
// errors, for the failure window. Callable from any thread.
void report_message_main(const std::string& message, bool isError);

// The errors report_message_main has written so far, in order.
std::vector<std::string> reportedErrors();

#endif
