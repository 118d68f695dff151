#include "bootstrap/console_reporter.h"

#include <stdio.h>

void report_message_to_console(const std::string& message, bool isError) {
  FILE* stream = isError ? stderr : stdout;
  fwrite(message.data(), 1, message.size(), stream);
  fputc('\n', stream);
  fflush(stream);
}

void report_message_main(const std::string& message, bool isError) {
  report_message_to_console(message, isError);
}
