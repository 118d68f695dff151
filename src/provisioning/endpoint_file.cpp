#include "provisioning/endpoint_file.h"

#include <sys/stat.h>

#include "common/text.h"
#include "platform/state_file.h"
#include "platform/log.h"

namespace {

const char kBlanks[] = " \t\r";
const std::string kByteOrderMark = "\xef\xbb\xbf";

std::string trimmed(const std::string& text, size_t from, size_t end) {
  size_t first = text.find_first_not_of(kBlanks, from);
  if (first >= end) return "";
  return text.substr(first,
                     text.find_last_not_of(kBlanks, end - 1) + 1 - first);
}

// The first non-blank line of a file's start, trimmed; false when it does
// not end within the limit.
bool firstNonBlankLine(const std::string& start, std::string* line) {
  size_t from = start.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0
                    ? kByteOrderMark.size()
                    : 0;
  line->clear();
  for (size_t end; line->empty() && from <= start.size(); from = end + 1) {
    end = lineEnd(start, from);
    if (end == std::string::npos) return false;
    *line = trimmed(start, from, end);
  }
  return true;
}

}  // namespace

std::string readEndpointUrlFile(std::string path, ReportFn report) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return "";
  std::string start, url;
  if (!readFileStart(path, &start)) {
    report("Failed to open install agent URL file", true);
    return "";
  }
  if (!firstNonBlankLine(start, &url)) {
    logLineTooLong(path);
    return "";
  }
  // A NUL would silently cut the URL short on its way to the download.
  if (hasControlCharacter(url)) {
    logLine("%s: the URL holds a control character; ignored", path.c_str());
    return "";
  }
  return url;
}
