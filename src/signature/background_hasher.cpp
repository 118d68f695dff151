#include "signature/background_hasher.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace {

// Enough to keep the thread busy; a transfer that outruns it waits, so a
// signed download costs at most twice this much more memory (the queue
// and the batch being hashed).
const size_t kMaxQueuedBytes = 2 << 20;
// Chunks hashed are kept to hold the next ones: fresh memory for each
// would cost the download a page fault every 4 KiB.
const size_t kMaxSpareChunks = 64;
// The start of a resumed body is read back in pieces this large.
const size_t kPrefixReadSize = 1 << 20;

}  // namespace

BackgroundHasher::BackgroundHasher()
    : hasher_(new ArchiveHasher), thread_([this] { run(); }) {}

BackgroundHasher::~BackgroundHasher() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
  if (prefixFd_ >= 0) close(prefixFd_);
}

void BackgroundHasher::write(int64_t offset, const char* data, size_t size) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (offset == 0 && written_ != 0) startBody();
  if (offset != written_) usable_ = false;
  if (!usable_) return;
  changed_.wait(lock, [this] {
    return queuedBytes_ < kMaxQueuedBytes || stopping_;
  });
  std::string chunk;
  if (!spare_.empty()) {
    chunk = std::move(spare_.back());
    spare_.pop_back();
  }
  chunk.assign(data, size);
  queue_.push_back(std::move(chunk));
  queuedBytes_ += size;
  written_ += static_cast<int64_t>(size);
  changed_.notify_all();
}

void BackgroundHasher::continueFrom(int fd, int64_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  startBody();
  prefixFd_ = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  prefixLength_ = length;
  usable_ = prefixFd_ >= 0;
  written_ = length;
  changed_.notify_all();
}

void BackgroundHasher::startBody() {
  queue_.clear();
  queuedBytes_ = 0;
  restart_ = true;
  usable_ = true;
  written_ = 0;
  if (prefixFd_ >= 0) close(prefixFd_);
  prefixFd_ = -1;
}

bool BackgroundHasher::finish(int64_t total, ArchiveDigest* digest) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] {
    return (queue_.empty() && prefixFd_ < 0 && !hashing_) || stopping_;
  });
  if (!usable_ || written_ != total || stopping_) return false;
  if (restart_) hasher_.reset(new ArchiveHasher);  // a new, empty body
  *digest = hasher_->finish();
  usable_ = false;  // a digest is taken once
  return true;
}

void BackgroundHasher::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return !queue_.empty() || prefixFd_ >= 0 || stopping_;
    });
    if (stopping_) return;
    if (restart_) {
      hasher_.reset(new ArchiveHasher);
      restart_ = false;
    }
    if (prefixFd_ >= 0) {
      hashPrefix(lock);
      continue;
    }
    // Everything queued at once: one hand-over per batch rather than per
    // chunk keeps the two threads from waking each other all the time.
    std::deque<std::string> batch;
    batch.swap(queue_);
    queuedBytes_ = 0;
    hashing_ = true;
    changed_.notify_all();
    lock.unlock();
    for (const std::string& chunk : batch)
      hasher_->update(chunk.data(), chunk.size());
    lock.lock();
    hashing_ = false;
    for (std::string& chunk : batch) {
      if (spare_.size() == kMaxSpareChunks) break;
      spare_.push_back(std::move(chunk));
    }
    changed_.notify_all();
  }
}

void BackgroundHasher::hashPrefix(std::unique_lock<std::mutex>& lock) {
  const int fd = prefixFd_;
  const int64_t length = prefixLength_;
  prefixFd_ = -1;
  hashing_ = true;
  lock.unlock();
  std::string buffer(kPrefixReadSize, '\0');
  int64_t done = 0;
  while (done < length) {
    size_t want = static_cast<size_t>(
        std::min<int64_t>(length - done, static_cast<int64_t>(buffer.size())));
    ssize_t got = pread(fd, &buffer[0], want, done);
    if (got <= 0) break;
    hasher_->update(buffer.data(), static_cast<size_t>(got));
    done += got;
    {
      std::lock_guard<std::mutex> check(mutex_);
      if (stopping_ || restart_) break;  // no longer wanted
    }
  }
  close(fd);
  lock.lock();
  hashing_ = false;
  // Unless a new body began meanwhile, a start not read whole spoils it.
  if (done < length && !restart_) usable_ = false;
  changed_.notify_all();
}
