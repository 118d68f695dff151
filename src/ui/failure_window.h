#ifndef BOOTSTRAP_UI_FAILURE_WINDOW_H_
#define BOOTSTRAP_UI_FAILURE_WINDOW_H_

#include <string>
#include <vector>

// A user who started the installer from a desktop reads no standard error:
// shows the run's failure lines there, in a window of the desktop module
// with a Close button, and one that copies details (unless empty), when
// the run has a desktop (desktop, and the module starts), and returns once
// the window is closed. Without a desktop it does nothing, silently: the
// lines are on standard error already.
void showFailureWindow(const std::vector<std::string>& lines,
                       const std::string& details, bool desktop);

// Closes that window from any thread, and keeps it from showing at all
// when it has not yet.
void closeFailureWindow();

#endif
