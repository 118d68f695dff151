#include "provisioning/endpoint_file.h"

#include <sys/stat.h>

#include "provisioning/first_line.h"

std::string readEndpointUrlFile(std::string path, ReportFn report) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return "";
  std::string url;
  if (!readFirstLine(path, &url)) {
    report("Failed to open install agent URL file", true);
    return "";
  }
  return url;
}
