#include "net/system_random.h"

#include <sys/random.h>

bool systemRandom(uint64_t* value) {
  return getrandom(value, sizeof *value, GRND_NONBLOCK) ==
         static_cast<ssize_t>(sizeof *value);
}
