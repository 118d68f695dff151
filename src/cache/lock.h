#ifndef BOOTSTRAP_CACHE_LOCK_H_
#define BOOTSTRAP_CACHE_LOCK_H_

#include <string>

// An advisory lock on the lock file in a cache directory (ending in "/"),
// so that two runs of one user never decide on, replace or stamp the
// cached agent at the same time. It is held for moments only: never while
// downloading or while the agent runs.
//
// Waits up to patienceMs for the lock. When the lock cannot be had (no
// cache directory yet, a lock file that cannot be made, or a holder that
// keeps it past the patience), the run goes on without it: held() is
// false and the reason is logged unless the directory is simply missing.
class CacheLock {
 public:
  explicit CacheLock(const std::string& cacheDir, int patienceMs = 10000);
  ~CacheLock();
  CacheLock(const CacheLock&) = delete;
  CacheLock& operator=(const CacheLock&) = delete;

  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

#endif
