#include "signature/background_hasher.h"

namespace {

// Enough to keep the thread busy; a transfer that outruns it waits, so a
// signed download costs at most twice this much more memory (the queue
// and the batch being hashed).
const size_t kMaxQueuedBytes = 2 << 20;
// Chunks hashed are kept to hold the next ones: fresh memory for each
// would cost the download a page fault every 4 KiB.
const size_t kMaxSpareChunks = 64;

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
}

void BackgroundHasher::write(int64_t offset, const char* data, size_t size) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (offset == 0 && written_ != 0) {
    queue_.clear();
    queuedBytes_ = 0;
    restart_ = true;
    usable_ = true;
    written_ = 0;
  }
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

bool BackgroundHasher::finish(int64_t total, ArchiveDigest* digest) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] {
    return (queue_.empty() && !hashing_) || stopping_;
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
    changed_.wait(lock, [this] { return !queue_.empty() || stopping_; });
    if (stopping_) return;
    if (restart_) {
      hasher_.reset(new ArchiveHasher);
      restart_ = false;
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
