#include "input_checks.h"

#include <curl/curl.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "zip_listing.h"

namespace {

// The first size bytes of a file; shorter when the file is.
std::string fileStart(const std::string& path, size_t size) {
  std::string bytes(size, '\0');
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ssize_t n = fd < 0 ? 0 : read(fd, &bytes[0], size);
  if (fd >= 0) close(fd);
  bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return bytes;
}

// A part of a parsed URL, empty when it has none.
std::string urlPart(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, 0) != CURLUE_OK || !text) return "";
  std::string value = text;
  curl_free(text);
  return value;
}

}  // namespace

std::string checkReadableFile(const std::string& what,
                              const std::string& path) {
  struct stat st;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return "cannot read the " + what + " " + path + ": " + strerror(errno);
  bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  close(fd);
  return regular ? "" : "the " + what + " " + path + " is not a regular file";
}

std::string checkPayload(const std::string& path) {
  std::string error = checkReadableFile("payload", path);
  if (!error.empty()) return error;
  std::vector<std::string> names;
  if (!listZip(path, &names))
    return "the payload " + path + " is not a zip archive, or is an empty one";
  return "";
}

std::string checkAgentArchive(const std::string& path) {
  std::string error = checkReadableFile("agent archive", path);
  if (!error.empty()) return error;
  std::vector<std::string> names;
  if (!listZip(path, &names))
    return "the agent archive " + path +
           " is not a zip archive, or is an empty one";
  bool hasInstall = false;
  for (const std::string& name : names) hasInstall |= name == "install";
  if (!hasInstall)
    return "the agent archive " + path +
           " has no install script at its top level";
  if (!zipIsIntact(path))
    return "the agent archive " + path + " is damaged: unzip -t fails on it";
  return "";
}

std::string checkAgentUrl(const std::string& url) {
  CURLU* parsed = curl_url();
  if (!parsed) return "out of memory";
  std::string error;
  CURLUcode code = curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0);
  std::string scheme = urlPart(parsed, CURLUPART_SCHEME);
  if (code != CURLUE_OK && code != CURLUE_UNSUPPORTED_SCHEME)
    error = "the URL " + url + " does not parse: " + curl_url_strerror(code);
  else if (scheme != "http" && scheme != "https")
    error = "the URL " + url + " is not http or https";
  else if (urlPart(parsed, CURLUPART_HOST).empty())
    error = "the URL " + url + " names no host";
  curl_url_cleanup(parsed);
  return error;
}

std::string checkSplash(const std::string& path) {
  std::string error = checkReadableFile("splash picture", path);
  if (!error.empty()) return error;
  static const char kPngSignature[] = "\x89PNG\r\n\x1a\n";
  if (fileStart(path, 8) != std::string(kPngSignature, 8))
    return "the splash picture " + path + " is not a PNG file";
  return "";
}
