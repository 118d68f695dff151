#ifndef BOOTSTRAP_PROVISIONING_ENDPOINT_FILE_H_
#define BOOTSTRAP_PROVISIONING_ENDPOINT_FILE_H_

#include <string>

#include "common/report_fn.h"

// The download URL: the first line of "installAgentURL.txt", taken as it
// stands. Empty when the file is missing (silently), unreadable (reported),
// empty, or when its first line is longer than kMaxStateLineLength
// (logged).
std::string readEndpointUrlFile(std::string path, ReportFn report);

#endif
