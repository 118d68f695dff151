#ifndef BOOTSTRAP_COMMON_REPORT_FN_H_
#define BOOTSTRAP_COMMON_REPORT_FN_H_

#include <string>

// Every failure is told once through one of these; isError picks the stream.
typedef void (*ReportFn)(const std::string& message, bool isError);

#endif
