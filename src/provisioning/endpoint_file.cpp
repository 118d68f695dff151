#include "provisioning/endpoint_file.h"

#include <sys/stat.h>

#include "provisioning/first_line.h"

std::string readEndpointUrlFile(std::string path, ReportFn report) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return "";
  std::string start;
  if (!readFileStart(path, &start)) {
    report("Failed to open install agent URL file", true);
    return "";
  }
  size_t end = lineEnd(start, 0);
  if (end == std::string::npos) {
    logLineTooLong(path);
    return "";
  }
  return start.substr(0, end);
}
