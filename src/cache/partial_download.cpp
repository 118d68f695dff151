#include "cache/partial_download.h"

#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "common/installer_constants.h"
#include "common/text.h"
#include "common/write_all.h"
#include "platform/log.h"
#include "platform/state_file.h"

namespace {

const char* const kFields[] = {"url ", "validator ", "length "};
const int64_t kMaxAgeSeconds = 7 * 24 * 3600;
// The three lines, each at most a state line long.
const size_t kMaxInfoSize = 3 * (kMaxStateLineLength + 16);

// A value travels in a header line: no control bytes, not empty.
bool isHeaderValue(const std::string& value) {
  return !value.empty() && value.size() <= kMaxStateLineLength &&
         !hasControlCharacter(value);
}

// Takes the line at *from that starts with field; false unless there is one.
bool takeField(const std::string& text, const char* field, size_t* from,
               std::string* value) {
  const size_t length = strlen(field);
  const size_t end = text.find('\n', *from);
  if (end == std::string::npos || text.compare(*from, length, field) != 0)
    return false;
  *value = text.substr(*from + length, end - *from - length);
  *from = end + 1;
  return true;
}

int openNoFollow(const std::string& path, int flags) {
  return open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
              0600);
}

// A file of ours that no one else could have written or linked in.
bool isOwnPrivateFile(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
         st.st_uid == getuid() && (st.st_mode & 077) == 0 && st.st_nlink == 1;
}

}  // namespace

std::string formatPartialInfo(const PartialInfo& info) {
  std::string text = kFields[0];
  text.append(info.url).append("\n").append(kFields[1]);
  text.append(info.validator).append("\n").append(kFields[2]);
  return text.append(std::to_string(info.wholeLength)).append("\n");
}

bool parsePartialInfo(const std::string& text, PartialInfo* info) {
  PartialInfo parsed;
  std::string length;
  size_t from = 0;
  if (!takeField(text, kFields[0], &from, &parsed.url) ||
      !takeField(text, kFields[1], &from, &parsed.validator) ||
      !takeField(text, kFields[2], &from, &length) || from != text.size() ||
      !isHeaderValue(parsed.url) || !isHeaderValue(parsed.validator) ||
      !parseDecimal(length, INT64_MAX, &parsed.wholeLength) ||
      parsed.wholeLength <= 0)
    return false;
  *info = parsed;
  return true;
}

bool isWorthResuming(const PartialInfo& info, const std::string& url,
                     int64_t bytes, int64_t ageSeconds) {
  return info.url == url && !info.validator.empty() && bytes > 0 &&
         bytes < info.wholeLength && ageSeconds < kMaxAgeSeconds;
}

PartialDownload::~PartialDownload() {
  if (claimed() && (!described_ || size() <= 0)) discard();
  release();
}

std::string PartialDownload::fileIn(const std::string& name) const {
  return joinPath(dir_, name);
}

std::string PartialDownload::path() const {
  return fileIn(kPartialDownloadFileName);
}

bool PartialDownload::claim(const std::string& cacheDir) {
  dir_ = cacheDir;
  const std::string lockPath = fileIn(kPartialLockFileName);
  lockFd_ = openNoFollow(lockPath, O_RDWR | O_CREAT);
  int error = errno;
  if (lockFd_ >= 0 && flock(lockFd_, LOCK_EX | LOCK_NB) == 0 && openFile())
    return true;
  if (lockFd_ >= 0) error = errno;
  release();
  if (error == EWOULDBLOCK)
    logLine("Another run is downloading into the agent cache: this run "
            "keeps nothing of its download should it stop unfinished");
  else
    logLine("Cannot keep a partial download in the agent cache (%s: %s)",
            dir_.c_str(), strerror(error));
  return false;
}

// The file as this run left it, or a new one: never through a link, never
// one someone else could write.
bool PartialDownload::openFile() {
  if (fd_ >= 0) close(fd_);
  fd_ = openNoFollow(path(), O_RDWR | O_CREAT);
  if (fd_ >= 0 && isOwnPrivateFile(fd_)) return true;
  if (fd_ >= 0) close(fd_);
  unlink(path().c_str());
  fd_ = openNoFollow(path(), O_RDWR | O_CREAT | O_EXCL);
  return fd_ >= 0;
}

int64_t PartialDownload::size() const {
  struct stat st;
  return fd_ >= 0 && fstat(fd_, &st) == 0 ? st.st_size : -1;
}

int64_t PartialDownload::heldFor(const std::string& url, PartialInfo* info) {
  described_ = false;
  if (!claimed() || (fd_ < 0 && !openFile())) return 0;
  const int64_t held = worthResuming(url, info);
  if (held > 0) return held;
  // Bytes of no use go with their file: a new one is written faster than
  // an old one cut to nothing (see the transfer).
  if (size() > 0) {
    discard();
    openFile();
  }
  return 0;
}

int64_t PartialDownload::worthResuming(const std::string& url,
                                       PartialInfo* info) {
  struct stat st;
  std::string text;
  PartialInfo kept;
  if (fstat(fd_, &st) != 0 || st.st_size == 0 ||
      !readSmallFile(fileIn(kPartialInfoFileName), kMaxInfoSize, &text) ||
      !parsePartialInfo(text, &kept))
    return 0;
  const int64_t age = static_cast<int64_t>(time(nullptr)) - st.st_mtime;
  if (!isWorthResuming(kept, url, st.st_size, age)) {
    logLine("Dropping the partial download of %s kept by an earlier run (%s)",
            kept.url.c_str(),
            kept.url != url             ? "another URL"
            : age >= kMaxAgeSeconds     ? "older than a week"
                                        : "nothing to go on from");
    return 0;
  }
  logLine("Continuing the download kept by an earlier run at %" PRId64
          " of %" PRId64 " bytes",
          static_cast<int64_t>(st.st_size), kept.wholeLength);
  described_ = true;
  info_ = kept;
  *info = kept;
  return st.st_size;
}

void PartialDownload::describe(const PartialInfo& info) {
  if (!claimed()) return;
  const std::string infoPath = fileIn(kPartialInfoFileName);
  described_ = false;
  if (info.wholeLength <= 0 || !isHeaderValue(info.url) ||
      !isHeaderValue(info.validator)) {
    unlink(infoPath.c_str());
    return;
  }
  // Whole or not at all: the new info replaces the old in one step.
  const std::string next = infoPath + ".new";
  const std::string text = formatPartialInfo(info);
  int fd = openNoFollow(next, O_WRONLY | O_CREAT | O_TRUNC);
  bool written = fd >= 0 && writeAll(fd, text.data(), text.size());
  if (fd >= 0 && close(fd) != 0) written = false;
  if (written && rename(next.c_str(), infoPath.c_str()) == 0) {
    described_ = true;
    info_ = info;
    return;
  }
  logLine("Cannot describe the partial download (%s: %s): it will not be "
          "kept", infoPath.c_str(), strerror(errno));
  unlink(next.c_str());
  unlink(infoPath.c_str());
}

void PartialDownload::keep() {
  const int64_t bytes = size();
  if (!claimed() || !described_ || bytes <= 0 ||
      bytes >= info_.wholeLength) {
    discard();
    return;
  }
  // A machine that goes down next must not leave the info naming bytes that
  // never reached the disk.
  fdatasync(fd_);
  logLine("Kept %" PRId64 " of %" PRId64 " bytes in %s: the next run "
          "continues from there",
          bytes, info_.wholeLength, path().c_str());
}

void PartialDownload::discard() {
  if (!claimed()) return;
  described_ = false;
  unlink(fileIn(kPartialInfoFileName).c_str());
  unlink((fileIn(kPartialInfoFileName) + ".new").c_str());
  unlink(path().c_str());
  if (fd_ >= 0) close(fd_);
  fd_ = -1;  // a later heldFor makes a new file
}

void PartialDownload::release() {
  if (fd_ >= 0) close(fd_);
  if (lockFd_ >= 0) close(lockFd_);
  fd_ = lockFd_ = -1;
}
