#ifndef BOOTSTRAP_PLATFORM_PROGRAM_NAME_H_
#define BOOTSTRAP_PLATFORM_PROGRAM_NAME_H_

// The running program's short name: the last part of the name it was
// started by, with no directory, as the system log and journal know it.
// Never null. Each platform has its own file for it.
const char* programName();

#endif
