#ifndef BOOTSTRAP_CACHE_FAILURE_LOG_H_
#define BOOTSTRAP_CACHE_FAILURE_LOG_H_

#include <string>

// Keeps text (what a failed run said) as the failure log in the cache
// directory (ending in "/"), replacing the last one whole: only the latest
// failure is kept, readable by the user alone. The file's path, or empty
// with *why set when the cache is not the user's alone or the file cannot
// be written. Nothing is logged: the run has said its last line by then.
std::string keepFailureLog(const std::string& cacheDir,
                           const std::string& text, std::string* why);

// The line that tells the user where the details are, or why they could
// not be kept.
std::string whereTheDetailsAre(const std::string& logPath,
                               const std::string& why);

#endif
