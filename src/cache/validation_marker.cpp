#include "cache/validation_marker.h"

#include "common/installer_constants.h"
#include "common/text.h"
#include "platform/state_file.h"

namespace {

std::string markerPath(const std::string& cacheDir) {
  return joinPath(cacheDir, kValidationFileName);
}

}  // namespace

bool readValidationString(const std::string& cacheDir, std::string* line) {
  return readFirstLine(markerPath(cacheDir), line);
}

bool isCacheValid(std::string cacheDir, std::string validationString) {
  if (!cacheDir.empty() && validationString.empty()) return false;
  std::string line;
  return readValidationString(cacheDir, &line) && line == validationString;
}

void writeValidationString(std::string cacheDir,
                           std::string validationString) {
  if (cacheDir.empty() || validationString.empty()) return;
  writeStateFile(markerPath(cacheDir), validationString);
}

bool readSourceUrl(const std::string& cacheDir, std::string* url) {
  return readFirstLine(joinPath(cacheDir, kSourceUrlFileName), url);
}

void writeSourceUrl(const std::string& cacheDir, const std::string& url) {
  writeStateFile(joinPath(cacheDir, kSourceUrlFileName), url);
}
