#ifndef BOOTSTRAP_UI_CONSOLE_CONSOLE_BACKEND_H_
#define BOOTSTRAP_UI_CONSOLE_CONSOLE_BACKEND_H_

#include <stdio.h>

#include <memory>

#include "ui/backend.h"

// The console window on any stream; makeConsoleBackend() uses standard
// error and asks it whether it is a terminal. The stream must outlive the
// backend, which ends an open progress line when it is destroyed.
std::unique_ptr<UiBackend> makeConsoleBackend(FILE* stream, bool isTerminal);

#endif
