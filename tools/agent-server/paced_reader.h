#ifndef BOOTSTRAP_TOOLS_AGENT_SERVER_PACED_READER_H_
#define BOOTSTRAP_TOOLS_AGENT_SERVER_PACED_READER_H_

#include <stddef.h>
#include <stdint.h>

#include <chrono>
#include <memory>

#include "served_file.h"

namespace httplib {
class DataSink;
}

// Hands one reply's bytes of a file to the connection; with a rate, no
// faster than that many bytes a second from the reply's first byte, in
// pieces small enough that a progress bar moves smoothly.
class PacedReader {
 public:
  PacedReader(std::shared_ptr<ServedFile> file, int64_t rate);

  // Writes the next piece of [offset, offset + length); false when the
  // file ends early or the client is gone.
  bool send(size_t offset, size_t length, httplib::DataSink& sink);

 private:
  std::shared_ptr<ServedFile> file_;
  int64_t rate_;
  int64_t sent_ = 0;
  std::chrono::steady_clock::time_point start_;
};

#endif
