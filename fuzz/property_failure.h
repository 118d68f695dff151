#ifndef BOOTSTRAP_FUZZ_PROPERTY_FAILURE_H_
#define BOOTSTRAP_FUZZ_PROPERTY_FAILURE_H_

#include <stdio.h>
#include <stdlib.h>

#include <string>

// Reports a broken property with the input's bytes in hex, and aborts so
// that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what, const std::string& input) {
  fprintf(stderr, "%s, for the input of %zu bytes:", what, input.size());
  for (unsigned char c : input) fprintf(stderr, " %02x", c);
  fprintf(stderr, "\n");
  abort();
}

#endif
