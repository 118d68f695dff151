#ifndef BOOTSTRAP_PLATFORM_ERROR_TAIL_H_
#define BOOTSTRAP_PLATFORM_ERROR_TAIL_H_

#include <stddef.h>

#include <deque>
#include <string>
#include <vector>

// The last lines a program wrote on standard error, fit to show in a
// window or the log: terminal escapes removed, of a line rewritten with
// carriage returns (a progress bar) only what stayed in view, blank lines
// skipped, each line as loggable() makes it and cut short. Fed with the
// bytes as they come, in chunks cut anywhere; a bounded amount is kept.
class ErrorTail {
 public:
  void add(const char* data, size_t size);

  // The lines kept, oldest first, with a last line that has no newline.
  std::vector<std::string> lines() const;

  static constexpr size_t kMaxLines = 5;
  // Of a line shown, "..." included when it was cut.
  static constexpr size_t kMaxLineBytes = 300;

 private:
  enum class Escape { kNone, kStart, kControl, kString };

  void take(unsigned char c);
  void endLine();

  std::deque<std::string> lines_;
  // The line being read, without its escapes; only its start is kept.
  std::string line_;
  bool lineCut_ = false;
  bool afterReturn_ = false;
  Escape escape_ = Escape::kNone;
};

#endif
