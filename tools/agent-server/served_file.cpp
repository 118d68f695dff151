#include "served_file.h"

#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A strong validator from the bytes themselves (64-bit FNV-1a and size).
std::string strongEtag(int fd, off_t size) {
  uint64_t hash = 1469598103934665603ULL;
  char buffer[1 << 16];
  ssize_t n;
  for (off_t offset = 0; (n = pread(fd, buffer, sizeof buffer, offset)) > 0;
       offset += n)
    for (ssize_t i = 0; i < n; ++i)
      hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ULL;
  char etag[64];
  snprintf(etag, sizeof etag, "\"%016llx-%llx\"",
           static_cast<unsigned long long>(hash),
           static_cast<unsigned long long>(size));
  return etag;
}

bool isServableName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

}  // namespace

ServedFile::~ServedFile() {
  if (fd >= 0) close(fd);
}

bool ServedFiles::init(const std::string& path, std::string* error) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    *error = "cannot find " + path;
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    directory_ = path;
    return true;
  }
  size_t slash = path.rfind('/');
  onlyName_ = slash == std::string::npos ? path : path.substr(slash + 1);
  directory_ = slash == std::string::npos ? "." : path.substr(0, slash);
  if (!S_ISREG(st.st_mode) || !isServableName(onlyName_)) {
    *error = path + " is neither a file nor a directory";
    return false;
  }
  return true;
}

bool ServedFiles::offers(const std::string& name) const {
  if (!isServableName(name)) return false;
  return onlyName_.empty() || name == onlyName_ ||
         name == onlyName_ + kSignatureSuffix;
}

std::shared_ptr<ServedFile> ServedFiles::open(
    const std::string& requestPath) const {
  if (requestPath.empty() || requestPath[0] != '/') return nullptr;
  std::string name = requestPath.substr(1);
  if (!offers(name)) return nullptr;
  auto file = std::make_shared<ServedFile>();
  // Non-blocking, so that a FIFO in the directory cannot hold the thread.
  file->fd = ::open((directory_ + "/" + name).c_str(),
                    O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st;
  if (file->fd < 0 || fstat(file->fd, &st) != 0 || !S_ISREG(st.st_mode))
    return nullptr;
  file->size = st.st_size;
  file->etag = strongEtag(file->fd, st.st_size);
  return file;
}

std::string ServedFiles::announcedPath() const {
  return onlyName_.empty() ? "/" : urlPathOf(onlyName_);
}

std::string urlPathOf(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string path = "/";
  for (unsigned char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                 (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                 c == '~';
    if (plain) {
      path += static_cast<char>(c);
    } else {
      path += '%';
      path += kHex[c >> 4];
      path += kHex[c & 15];
    }
  }
  return path;
}
