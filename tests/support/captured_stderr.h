#ifndef BOOTSTRAP_TESTS_SUPPORT_CAPTURED_STDERR_H_
#define BOOTSTRAP_TESTS_SUPPORT_CAPTURED_STDERR_H_

#include <string>

#include "support/scratch_tree.h"

// Standard error goes to a file while this lives, so that a test can see
// what was logged; restored when it ends.
class CapturedStderr {
 public:
  CapturedStderr();
  ~CapturedStderr();
  CapturedStderr(const CapturedStderr&) = delete;
  CapturedStderr& operator=(const CapturedStderr&) = delete;

  // What has been written so far.
  std::string text() const;
  // The file it goes to.
  std::string path() const { return tree_.at("stderr"); }

 private:
  ScratchTree tree_;
  int saved_ = -1;
};

// True when text is one line that holds part.
bool isOneLineHolding(const std::string& text, const std::string& part);

#endif
