#include "support/captured_stderr.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <gtest/gtest.h>

CapturedStderr::CapturedStderr() {
  fflush(stderr);
  int fd =
      open(tree_.at("stderr").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  saved_ = dup(STDERR_FILENO);
  if (fd < 0 || saved_ < 0 || dup2(fd, STDERR_FILENO) < 0)
    ADD_FAILURE() << "cannot capture standard error";
  if (fd >= 0) close(fd);
}

CapturedStderr::~CapturedStderr() {
  fflush(stderr);
  if (saved_ >= 0) {
    dup2(saved_, STDERR_FILENO);
    close(saved_);
  }
}

std::string CapturedStderr::text() const {
  fflush(stderr);
  return readFile(tree_.at("stderr"));
}

bool isOneLineHolding(const std::string& text, const std::string& part) {
  return !text.empty() && text.find('\n') == text.size() - 1 &&
         text.find(part) != std::string::npos;
}
