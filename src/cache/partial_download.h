#ifndef BOOTSTRAP_CACHE_PARTIAL_DOWNLOAD_H_
#define BOOTSTRAP_CACHE_PARTIAL_DOWNLOAD_H_

#include <stdint.h>

#include <string>

// What the kept bytes of a download are: the start of the archive at url
// that the server vouched for with validator (for If-Range), wholeLength
// bytes long.
struct PartialInfo {
  std::string url;
  std::string validator;
  int64_t wholeLength = -1;
};

// The info file's text, one field a line; parsing refuses anything that
// formatting would not give, so a torn or planted file is no info.
std::string formatPartialInfo(const PartialInfo& info);
bool parsePartialInfo(const std::string& text, PartialInfo* info);

// Whether bytes kept with info may be gone on from for url: the same URL,
// a validator, fewer bytes than the whole and some, and not older than a
// week (ageSeconds since they were last written).
bool isWorthResuming(const PartialInfo& info, const std::string& url,
                     int64_t bytes, int64_t ageSeconds);

// The one download that a cache directory (ending in "/") keeps for the
// next run when a transfer ends unfinished. The info is written before any
// byte of a body, so the bytes are always the start of the archive it
// names. Only the run that claimed it uses it: a second run at the same
// time keeps nothing of its own download.
class PartialDownload {
 public:
  PartialDownload() = default;
  // Gives up the claim; bytes that no info vouches for go.
  ~PartialDownload();
  PartialDownload(const PartialDownload&) = delete;
  PartialDownload& operator=(const PartialDownload&) = delete;

  // Claims the cache's partial download and opens its file; false (logged)
  // when another run holds it or it cannot be made.
  bool claim(const std::string& cacheDir);
  bool claimed() const { return lockFd_ >= 0; }
  // The file's descriptor once heldFor has opened it; else -1.
  int fd() const { return fd_; }
  std::string path() const;

  // The bytes kept for url, worth going on from (0 when there are none);
  // *info then says what they are. Bytes of anything else are dropped
  // once a body starts. Opens the file anew after a discard.
  int64_t heldFor(const std::string& url, PartialInfo* info);
  // A body starts at byte 0: records what it is. With no validator or no
  // known length nothing will be kept of it.
  void describe(const PartialInfo& info);
  // Leaves what was received for the next run, on disk; drops bytes that
  // could not be gone on from.
  void keep();
  // Removes the bytes and their info.
  void discard();

 private:
  std::string fileIn(const std::string& name) const;
  bool openFile();
  // heldFor's verdict on the file as it is.
  int64_t worthResuming(const std::string& url, PartialInfo* info);
  int64_t size() const;
  void release();

  std::string dir_;
  int lockFd_ = -1;
  int fd_ = -1;
  // The info on disk vouches for the bytes, as far as this run knows.
  bool described_ = false;
  PartialInfo info_;
};

#endif
