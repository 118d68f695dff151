#ifndef BOOTSTRAP_CACHE_LOCATIONS_H_
#define BOOTSTRAP_CACHE_LOCATIONS_H_

#include <string>
#include <sys/types.h>

// home/.tarvik/app_installer_cache/Q4711x/darw64/, home being the run's
// HOME ("/tmp" when empty); always ends in "/".
std::string getInstallAgentCacheDir(const std::string& home);

// The cached agent directory, ending in "/", when it holds an agent (see
// isAgentDirectory); else empty.
std::string installAgentDirOnDisk(const std::string& home);

// Whether directory holds an agent: an "install" that is a regular file
// (or a link to one). A directory or device of that name is no agent.
bool isAgentDirectory(const std::string& directory);

// directory + "install", with a separator only where one is missing.
std::string getInstallAgentExecutable(std::string directory);

// Creates the missing directories of path with the given mode. 0 or -1
// with errno set (ENOTDIR when a component is not a directory).
int mkpath(std::string path, mode_t mode);

#endif
