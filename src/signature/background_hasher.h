#ifndef BOOTSTRAP_SIGNATURE_BACKGROUND_HASHER_H_
#define BOOTSTRAP_SIGNATURE_BACKGROUND_HASHER_H_

#include <stddef.h>
#include <stdint.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "signature/signature_check.h"

// Hashes a download on a thread of its own while it is written, so that
// checking a prehashed signature costs the run almost nothing once the
// last byte is in: the transfer hands each chunk over as written and goes
// on.
class BackgroundHasher {
 public:
  BackgroundHasher();
  // Stops the thread, hashed or not.
  ~BackgroundHasher();
  BackgroundHasher(const BackgroundHasher&) = delete;
  BackgroundHasher& operator=(const BackgroundHasher&) = delete;

  // The chunk written at offset: a body that starts over comes again from
  // 0; a chunk anywhere else than right after the last leaves the digest
  // unusable. Waits while much is queued, so memory stays bounded.
  void write(int64_t offset, const char* data, size_t size);
  // A body that goes on from the first length bytes of the file fd reads:
  // they are hashed first, on the thread, and chunks follow from length.
  void continueFrom(int fd, int64_t length);
  // Waits for the chunks queued; the digest of the first total bytes,
  // false when they were not all hashed in order from 0.
  bool finish(int64_t total, ArchiveDigest* digest);

 private:
  void run();
  // Drops what was queued or named of the body before: a new one starts.
  // Called with the lock held.
  void startBody();
  // Hashes what continueFrom named, the lock released meanwhile.
  void hashPrefix(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> queue_;
  std::vector<std::string> spare_;  // hashed chunks, their memory reused
  size_t queuedBytes_ = 0;
  bool restart_ = false;   // the queue starts a new body
  bool usable_ = true;     // no chunk came out of order
  bool hashing_ = false;   // the thread holds a batch
  bool stopping_ = false;
  int64_t written_ = 0;    // bytes handed over, in order from 0
  int prefixFd_ = -1;      // a file whose start comes before the queue
  int64_t prefixLength_ = 0;
  std::unique_ptr<ArchiveHasher> hasher_;  // the thread's
  std::thread thread_;
};

#endif
