#ifndef BOOTSTRAP_PLATFORM_UNZIP_H_
#define BOOTSTRAP_PLATFORM_UNZIP_H_

#include <string>

#include "common/report_fn.h"

// unzip reads its archive's file name as a wildcard pattern; this makes the
// pattern match only the file of that exact name.
std::string unzip_archive_pattern(const std::string& archivePath);

// Unpacks archivePath beneath destination with the unzip command, which
// has no terminal to read from (an encrypted archive fails at once), dies
// with the thread that started it and is killed when it outlasts a stop;
// a failure is logged with its cause (a full disk, a damaged archive).
bool unzipInstallAgent(std::string archivePath, std::string destination,
                       std::string unzipCommand, ReportFn report);

#endif
