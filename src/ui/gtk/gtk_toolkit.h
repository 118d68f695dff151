#ifndef BOOTSTRAP_UI_GTK_GTK_TOOLKIT_H_
#define BOOTSTRAP_UI_GTK_GTK_TOOLKIT_H_

#include <gtk/gtk.h>
#include <stddef.h>

#include <initializer_list>
#include <string>

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

// text as GTK takes it: valid UTF-8. Paths and other bytes off the disk,
// which the windows show, need not be.
std::string validUtf8(const std::string& text);

// A label of the window's width that wraps its text, never cutting it: a
// failure names paths, which may be long.
void setWrapping(GtkLabel* label);

// The buttons, left to right, at the end of a row.
GtkWidget* buttonRow(std::initializer_list<GtkWidget*> buttons);

// A "Copy details" button, hidden until given details: clicked, it puts
// them on the clipboard, where they stay after the process ends as far as
// the desktop keeps them.
class DetailsButton {
 public:
  DetailsButton();
  ~DetailsButton();
  DetailsButton(const DetailsButton&) = delete;
  DetailsButton& operator=(const DetailsButton&) = delete;

  void offer(const std::string& details);
  GtkWidget* widget() const { return GTK_WIDGET(button_); }

 private:
  static void onClicked(GtkButton* button, gpointer self);

  GtkButton* button_;
  std::string details_;
};

// Escape presses the button, as it dismisses any other window of this
// kind; not while the button is disabled.
void closeOnEscape(GtkWindow* window, GtkButton* button);

#endif
