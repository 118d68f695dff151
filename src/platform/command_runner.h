#ifndef BOOTSTRAP_PLATFORM_COMMAND_RUNNER_H_
#define BOOTSTRAP_PLATFORM_COMMAND_RUNNER_H_

#include <optional>
#include <string>

#include "platform/child_process.h"

// Runs a command line, one simple command, as /bin/sh -c would and waits;
// the wait status as system() gives it (127 when the program is not found
// on PATH's absolute entries, 126 when it cannot be executed, -1 when no
// process could start or the run was interrupted). The command starts with
// no signal blocked, PIPE at its default, and INT, TERM, HUP and QUIT at
// their default unless ignored by the caller's own starter (nohup stays).
// With options.errorTail, its standard error may go through a pipe whose
// bytes we pass on to ours as they come (stderr_relay.h).
int runCommand(const std::string& commandLine, const ChildOptions& options);

// Runs the command line as runCommand does, with standard input and error
// on /dev/null, and collects its standard output in *out.
int runCapturingOutput(const std::string& commandLine, std::string* out);

// runCommand with the default options.
int call_system(std::string commandLine);

// The run's PATH, where the programs of commands are looked for; unset
// (nullopt) looks in the standard directories. Set once, before the first.
void setCommandPath(const std::optional<std::string>& path);

// Makes every later command fail at once with -1: a run told to stop must
// not start its next step. Sends sig to the command that is running, if
// any, with forward or when it has no terminal (ChildOptions::noTerminal);
// one started with killAfterGrace is killed if it has not ended 3 s later.
// Callable from any thread.
void interruptCommands(int sig, bool forward);

#endif
