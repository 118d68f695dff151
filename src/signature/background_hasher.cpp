#include "signature/background_hasher.h"

namespace {

// Enough to keep the thread busy; a transfer that outruns it waits, so a
// signed download costs at most this much more memory.
const size_t kMaxQueuedBytes = 4 << 20;

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
    ++body_;
    usable_ = true;
    written_ = 0;
  }
  if (offset != written_) usable_ = false;
  if (!usable_) return;
  changed_.wait(lock, [this] {
    return queuedBytes_ < kMaxQueuedBytes || stopping_;
  });
  queue_.emplace_back(data, size);
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
    std::string chunk = std::move(queue_.front());
    queue_.pop_front();
    const uint64_t body = body_;
    hashing_ = true;
    lock.unlock();
    hasher_->update(chunk.data(), chunk.size());
    lock.lock();
    hashing_ = false;
    // A restart meanwhile has let go of this chunk's bytes already.
    if (body == body_) queuedBytes_ -= chunk.size();
    changed_.notify_all();
  }
}
