#ifndef BOOTSTRAP_UI_GTK_GTK_FAILURE_WINDOW_H_
#define BOOTSTRAP_UI_GTK_GTK_FAILURE_WINDOW_H_

#include <gtk/gtk.h>

#include <string>
#include <vector>

// The window that tells a desktop user why the run failed: a label for
// each line, top to bottom, over a Close button that is the window's
// default and has the focus. Return, Escape, the button and the window
// manager's close each close it.
struct FailureLayout {
  FailureLayout(const std::string& title,
                const std::vector<std::string>& lines);
  // Takes the window off the screen at once.
  ~FailureLayout();
  FailureLayout(const FailureLayout&) = delete;
  FailureLayout& operator=(const FailureLayout&) = delete;

  GtkWindow* window;
  GtkBox* lines;  // the labels, nothing else
  GtkButton* close;
};

// Shows the window and runs GTK's loop until it is closed, or until closeFd
// (unless -1) is readable, as it may be from the start.
void runUntilClosed(FailureLayout& layout, int closeFd);

#endif
