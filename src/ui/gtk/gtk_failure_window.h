#ifndef BOOTSTRAP_UI_GTK_GTK_FAILURE_WINDOW_H_
#define BOOTSTRAP_UI_GTK_GTK_FAILURE_WINDOW_H_

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "ui/gtk/gtk_toolkit.h"

// The window that tells a desktop user why the run failed: a label for
// each line, top to bottom, over a "Copy details" button (when there are
// details) and a Close button that is the window's default and has the
// focus. Return, Escape, the button, the window manager's close and the
// window's destruction from outside each close it.
struct FailureLayout {
  FailureLayout(const std::string& title,
                const std::vector<std::string>& lines,
                const std::string& details);
  // Takes the window off the screen at once.
  ~FailureLayout();
  FailureLayout(const FailureLayout&) = delete;
  FailureLayout& operator=(const FailureLayout&) = delete;

  GtkWindow* window;
  GtkBox* lines;  // the labels, nothing else
  GtkButton* close;
  DetailsButton copy;
};

// Shows the window and runs GTK's loop until it is closed, or until closeFd
// (unless -1) is readable, as it may be from the start.
void runUntilClosed(FailureLayout& layout, int closeFd);

#endif
