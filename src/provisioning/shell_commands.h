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

// Runs a command line, one simple command, as /bin/sh -c would and waits;
// the wait status as system() gives it (127 when the program is not found
// on PATH's absolute entries, 126 when it cannot be executed, -1 when no
// process could start). The command starts with no signal blocked, PIPE
// at its default, and INT, TERM, HUP and QUIT at their default unless
// ignored by the caller's own starter (nohup stays).
int call_system(std::string commandLine);

// Makes every later call_system fail at once with -1: a run told to stop
// must not start its next step; with forward, also sends sig to the
// command that call_system is running, if any. Callable from any thread.
void interruptCommands(int sig, bool forward);

// Unpacks archivePath beneath destination with the unzip command, which
// reads nothing from the terminal and dies with the thread that started it;
// a failure is logged with its cause (a full disk, a damaged archive).
bool unzipInstallAgent(std::string archivePath, std::string destination,
                       std::string unzipCommand, ReportFn report);

// Runs prefix + " -installbundle " + <payloadDir>/bundle.zip + forwarded
// arguments and waits; true when it exits with status 0.
bool fireInstallAgentWithArgs(std::string prefix,
                              std::string payloadDir, int argc, char** argv,
                              ReportFn report);

#endif
