#ifndef BOOTSTRAP_PLATFORM_EXECUTABLE_PATH_H_
#define BOOTSTRAP_PLATFORM_EXECUTABLE_PATH_H_

#include <string>

// The running executable's own absolute path, symbolic links resolved, as
// the system knows it (not argv[0]); empty when unknown. Each platform has
// its own file for it.
std::string executablePath();

#endif
