#include "paced_reader.h"

#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <utility>

namespace {

const size_t kBufferSize = 64 * 1024;

// About ten pieces a second at a slow rate.
size_t pieceSize(int64_t rate) {
  if (rate <= 0) return kBufferSize;
  return static_cast<size_t>(std::max<int64_t>(
      1, std::min<int64_t>(rate / 10, static_cast<int64_t>(kBufferSize))));
}

}  // namespace

PacedReader::PacedReader(std::shared_ptr<ServedFile> file, int64_t rate)
    : file_(std::move(file)),
      rate_(rate),
      start_(std::chrono::steady_clock::now()) {}

bool PacedReader::send(size_t offset, size_t length, httplib::DataSink& sink) {
  char buffer[kBufferSize];
  size_t wanted = std::min(length, pieceSize(rate_));
  ssize_t n = pread(file_->fd, buffer, wanted, static_cast<off_t>(offset));
  if (n <= 0) return false;
  sent_ += n;
  if (rate_ > 0) {
    // The piece goes out when a link of that rate would have carried it.
    std::this_thread::sleep_until(
        start_ + std::chrono::microseconds(sent_ * 1000000 / rate_));
  }
  return sink.write(buffer, static_cast<size_t>(n));
}
