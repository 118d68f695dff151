#ifndef BOOTSTRAP_PROVISIONING_SHELL_COMMANDS_H_
#define BOOTSTRAP_PROVISIONING_SHELL_COMMANDS_H_

#include <string>

#include "common/report_fn.h"

// A word that /bin/sh reads back as exactly s. Plain text comes back as it
// is, text whose only special characters are blanks or tabs is wrapped in
// double quotes, anything else is single-quoted. Empty stays empty.
std::string smart_quote(std::string s);

// Arguments 1..argc-1, each as one shell word followed by one blank. An
// empty argument becomes '' so that it still reaches the agent.
std::string argv2cmdline(int argc, char** argv);

// unzip reads its archive's file name as a wildcard pattern; this makes the
// pattern match only the file of that exact name.
std::string unzip_archive_pattern(const std::string& archivePath);

// Runs a command line through /bin/sh; the status as system() gives it.
int call_system(std::string program, std::string commandLine);

// Unpacks archivePath beneath destination with the unzip command.
bool unzipInstallAgent(std::string archivePath, std::string destination,
                       std::string unzipCommand, ReportFn report);

// Runs prefix + " -installbundle " + <payloadDir>/bundle.zip + forwarded
// arguments and waits; true when it exits with status 0.
bool fireInstallAgentWithArgs(std::string agentPath, std::string prefix,
                              std::string payloadDir, int argc, char** argv,
                              ReportFn report);

#endif
