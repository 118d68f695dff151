#include "platform/program_name.h"

#include <errno.h>  // glibc declares program_invocation_short_name here

const char* programName() { return program_invocation_short_name; }
