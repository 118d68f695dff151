#include "public_key_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "input_checks.h"
#include "signature/minisign_format.h"

namespace {

const char kWhat[] = "public key file";

// Up to limit + 1 bytes of path into *text, so that a file over the limit
// shows as one without being read whole; false with errno set.
bool readUpTo(const std::string& path, size_t limit, std::string* text) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  std::vector<char> buffer(limit + 1);
  size_t filled = 0;
  ssize_t n = 0;
  while (filled < buffer.size() &&
         (n = read(fd, &buffer[filled], buffer.size() - filled)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    filled += static_cast<size_t>(n);
  }
  int readErrno = errno;
  close(fd);
  errno = readErrno;
  if (n < 0) return false;
  text->assign(buffer.data(), filled);
  return true;
}

}  // namespace

std::string readPublicKeyFile(const std::string& path, std::string* text) {
  std::string error = checkReadableFile(kWhat, path);
  if (!error.empty()) return error;
  const std::string named = std::string(kWhat) + " " + path;
  if (!readUpTo(path, kMaxPublicKeyFileSize, text))
    return "cannot read the " + named + ": " + strerror(errno);
  if (text->size() > kMaxPublicKeyFileSize)
    return "the " + named + " is larger than " +
           std::to_string(kMaxPublicKeyFileSize) +
           " bytes, more than the installer reads";
  std::vector<PublicKey> keys;
  std::string why;
  if (!parsePublicKeys(*text, &keys, &why))
    return "the " + named + " is no minisign public key file: " + why;
  return "";
}
