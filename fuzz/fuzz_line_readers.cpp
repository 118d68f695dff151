// The state-file readers: the input is a file's content, written into a
// private directory (under $TMPDIR, else /tmp) and read back as the URL
// file and as the validation marker; then written as a marker and matched.
#include <fcntl.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "cache/validation_marker.h"
#include "common/installer_constants.h"
#include "platform/state_file.h"
#include "platform/log.h"
#include "property_failure.h"
#include "provisioning/endpoint_file.h"

namespace {

std::string dir, urlFile, marker;

void removeDir() {
  unlink(urlFile.c_str());
  unlink(marker.c_str());
  rmdir(dir.c_str());
}

void makeDir() {
  const char* tmp = getenv("TMPDIR");
  std::string name =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-line-readers-XXXXXX";
  if (!mkdtemp(&name[0])) {
    perror("mkdtemp");
    abort();
  }
  dir = name;
  urlFile = dir + "/installAgentURL.txt";
  marker = dir + "/.validatestring";
  atexit(removeDir);
}

void writeFile(const std::string& path, const std::string& content) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file ||
      fwrite(content.data(), 1, content.size(), file) != content.size() ||
      fclose(file) != 0) {
    perror(path.c_str());
    abort();
  }
}

std::string readFile(const std::string& path) {
  std::string content;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return "(missing)";
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
    content.append(buffer, n);
  fclose(file);
  return content;
}

int reportCount = 0;
void countReport(const std::string&, bool) { ++reportCount; }
int logCount = 0;

// What the URL file may yield: nothing, or a piece of the file with no
// control character and no blank at either end.
bool isCleanPiece(const std::string& text, const std::string& content) {
  if (text.empty()) return true;
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) return false;
  return text.front() != ' ' && text.back() != ' ' &&
         content.find(text) != std::string::npos;
}

}  // namespace

// Counted, rather than sent to the system log for every input.
void logLine(const char*, ...) { ++logCount; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (dir.empty()) makeDir();
  std::string content(reinterpret_cast<const char*>(data), size);
  std::string firstLine = content.substr(0, content.find('\n'));
  bool oneLine = content.find('\n') == std::string::npos;
  bool fits = firstLine.size() <= kMaxStateLineLength;

  writeFile(urlFile, content);
  std::string line = "unset";
  logCount = 0;
  if (readFirstLine(urlFile, &line) != fits || (fits && line != firstLine) ||
      logCount != (fits ? 0 : 1))
    fail("readFirstLine misread the first line", content);
  // A first line that is a clean piece already is the URL as it stands.
  bool urlAsItStands = fits && !firstLine.empty() &&
                       isCleanPiece(firstLine, content) &&
                       firstLine.compare(0, 3, "\xef\xbb\xbf") != 0;
  reportCount = logCount = 0;
  std::string url = readEndpointUrlFile(urlFile, countReport);
  if (!isCleanPiece(url, content) || (urlAsItStands && url != firstLine) ||
      reportCount != 0 || logCount > 1)
    fail("readEndpointUrlFile misread the URL", content);

  writeFile(marker, content);
  if (isCacheValid(dir, firstLine) != (!firstLine.empty() && fits))
    fail("the marker's first line does not match itself", content);
  if (isCacheValid(dir + "/", firstLine + "x") || isCacheValid(dir, ""))
    fail("the marker matched another string", content);

  // Written, the marker matches what was written, if that has no newline.
  unlink(marker.c_str());
  writeValidationString(dir, content);
  if (readFile(marker) != (content.empty() ? "(missing)" : content))
    fail("the marker was not written verbatim", content);
  if (isCacheValid(dir, content) !=
      (!content.empty() && oneLine && content.size() <= kMaxStateLineLength))
    fail("the written marker does not match", content);
  return 0;
}
