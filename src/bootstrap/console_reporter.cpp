#include "bootstrap/console_reporter.h"

#include <stdio.h>

#include <mutex>

#include "platform/log.h"
#include "platform/run_record.h"

namespace {

// The unpacking step reports from the download's worker thread.
std::mutex reportedMutex;
std::vector<std::string> reported;

}  // namespace

void report_message_to_console(const std::string& message, bool isError) {
  FILE* stream = isError ? stderr : stdout;
  fwrite(message.data(), 1, message.size(), stream);
  fputc('\n', stream);
  fflush(stream);
}

// One lock around both, so that the window lists them as the stream has
// them.
void report_message_main(const std::string& message, bool isError) {
  std::lock_guard<std::mutex> lock(reportedMutex);
  report_message_to_console(message, isError);
  recordLine(loggable(message));
  if (isError) reported.push_back(message);
}

std::vector<std::string> reportedErrors() {
  std::lock_guard<std::mutex> lock(reportedMutex);
  return reported;
}
