#ifndef BOOTSTRAP_UI_GTK_GTK_TOOLKIT_H_
#define BOOTSTRAP_UI_GTK_GTK_TOOLKIT_H_

#include <gtk/gtk.h>
#include <stddef.h>

// Starts GTK on the display, once or again; false with a one-line reason
// in why (at most whySize bytes with the NUL) when no display answers. The
// process's locale is left as it is: the rest of it formats and parses in
// the C locale.
bool startToolkit(char* why, size_t whySize);

// Destroys the window and lets it leave the screen now: what comes next
// (the install agent, the end of the run) does not run GTK's loop.
void destroyWindowNow(GtkWindow* window);

#endif
