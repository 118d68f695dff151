#ifndef BOOTSTRAP_UI_GTK_GTK_TOOLKIT_H_
#define BOOTSTRAP_UI_GTK_GTK_TOOLKIT_H_

#include <gtk/gtk.h>
#include <stddef.h>

#include <initializer_list>

// Starts GTK on the display, once or again; false with a one-line reason
// in why (at most whySize bytes with the NUL) when no display answers. The
// process's locale is left as it is: the rest of it formats and parses in
// the C locale.
bool startToolkit(char* why, size_t whySize);

// The gap between the rows of a window's content; rows that belong
// together sit half as far apart.
const int kRowSpacing = 12;

// Puts the rows, top to bottom, into the window as its padded content and
// shows them, leaving the window itself to be shown. Every window of the
// installer is as wide, so that one may follow another in its place.
void setWindowContent(GtkWindow* window,
                      std::initializer_list<GtkWidget*> rows);

// Destroys the window and lets it leave the screen now: what comes next
// (the install agent, the end of the run) does not run GTK's loop.
void destroyWindowNow(GtkWindow* window);

// Escape presses the button, as it dismisses any other window of this
// kind; not while the button is disabled.
void closeOnEscape(GtkWindow* window, GtkButton* button);

#endif
