#ifndef BOOTSTRAP_UI_GTK_GTK_WINDOW_H_
#define BOOTSTRAP_UI_GTK_GTK_WINDOW_H_

#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "ui/widgets.h"

// The download window's toplevel. Closing it by any means (its button,
// Return, the title bar, the window manager, its destruction, close()) runs the close
// handler once and then takes the window off the screen; the window's
// owner destroys it later, so the controls stay valid until then.
class DesktopWindow : public Window {
 public:
  DesktopWindow(GtkWindow* window, GtkButton* closeButton);
  ~DesktopWindow() override;
  DesktopWindow(const DesktopWindow&) = delete;
  DesktopWindow& operator=(const DesktopWindow&) = delete;

  void close() override;
  // GTK lays out and redraws changed widgets by itself.
  void refresh() override {}
  void setCloseHandler(std::function<void()> handler) override;
  void whenShown(std::function<void()> work) override;

  // Sets the title; the window appears once the loop runs, with what was
  // set up until then, so that it is sized and centred with its splash.
  void show(const std::string& title);

 private:
  static gboolean onDelete(GtkWidget* window, GdkEvent* event, gpointer self);
  static void onDestroy(GtkWidget* window, gpointer self);
  static void onClicked(GtkButton* button, gpointer self);
  static gboolean onPresent(gpointer self);
  static gboolean onDrawn(GtkWidget* window, cairo_t* cr, gpointer self);
  static gboolean onShown(gpointer self);
  void cancelPresent();

  GtkWindow* window_;
  GtkButton* closeButton_;
  std::function<void()> closeHandler_;
  bool closed_ = false;
  guint present_ = 0;  // the source that shows the window, until it runs
  std::function<void()> shown_;  // for the end of the first frame drawn
  guint shownSource_ = 0;        // the source that runs it, until it runs
};

#endif
