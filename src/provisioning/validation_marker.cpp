#include "provisioning/validation_marker.h"

#include <stdio.h>

#include "provisioning/first_line.h"
#include "provisioning/installer_constants.h"

namespace {

std::string markerPath(const std::string& cacheDir) {
  return cacheDir + kPathSeparator + kValidationFileName;
}

}  // namespace

bool isCacheValid(std::string cacheDir, std::string validationString) {
  if (!cacheDir.empty() && validationString.empty()) return false;
  std::string line;
  return readFirstLine(markerPath(cacheDir), &line) &&
         line == validationString;
}

void writeValidationString(std::string cacheDir,
                           std::string validationString) {
  if (cacheDir.empty() || validationString.empty()) return;
  FILE* file = fopen(markerPath(cacheDir).c_str(), "we");
  if (!file) return;
  fwrite(validationString.data(), 1, validationString.size(), file);
  fclose(file);
}
