#ifndef BOOTSTRAP_PROVISIONING_CACHE_UPDATE_H_
#define BOOTSTRAP_PROVISIONING_CACHE_UPDATE_H_

#include <string>

#include "common/report_fn.h"

// Puts a freshly downloaded agent archive into the cache directory (ending
// in "/"): unpacked into a staging directory beside "installagent", checked
// for "install", moved into place, and only then vouched for by the marker
// (the ETag; with none, no marker is left). On failure the cache keeps its
// previous agent and marker, and the staging directory is removed.
bool installDownloadedAgent(const std::string& archive,
                            const std::string& cacheDir,
                            const std::string& validationString,
                            ReportFn report);

#endif
