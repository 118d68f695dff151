#ifndef BOOTSTRAP_NET_SYSTEM_RANDOM_H_
#define BOOTSTRAP_NET_SYSTEM_RANDOM_H_

#include <stdint.h>

// A value from the system's random source, without waiting for it: false
// when it has none ready (early in boot) or none at all. Each platform has
// its own file for it.
bool systemRandom(uint64_t* value);

#endif
