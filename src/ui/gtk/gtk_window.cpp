#include "ui/gtk/gtk_window.h"

#include "ui/gtk/gtk_toolkit.h"

DesktopWindow::DesktopWindow(GtkWindow* window, GtkButton* closeButton)
    : window_(window), closeButton_(closeButton) {
  g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), this);
  // Destroyed from outside, as a session that ends may do: a cancel.
  g_signal_connect(window, "destroy", G_CALLBACK(onDestroy), this);
  g_signal_connect(closeButton, "clicked", G_CALLBACK(onClicked), this);
}

DesktopWindow::~DesktopWindow() {
  cancelPresent();
  if (shownSource_) g_source_remove(shownSource_);
  g_signal_handlers_disconnect_by_data(window_, this);
  g_signal_handlers_disconnect_by_data(closeButton_, this);
}

void DesktopWindow::close() {
  if (closed_) return;
  closed_ = true;
  cancelPresent();
  if (closeHandler_) closeHandler_();
  gtk_widget_hide(GTK_WIDGET(window_));
  // Off the screen now, not when the loop next runs: it may not.
  gdk_display_flush(gtk_widget_get_display(GTK_WIDGET(window_)));
}

void DesktopWindow::setCloseHandler(std::function<void()> handler) {
  closeHandler_ = std::move(handler);
}

void DesktopWindow::show(const std::string& title) {
  // The title comes from a directory name.
  gtk_window_set_title(window_, validUtf8(title).c_str());
  if (!closed_ && !present_) present_ = g_idle_add(onPresent, this);
}

void DesktopWindow::whenShown(std::function<void()> work) {
  shown_ = std::move(work);
  g_signal_connect_after(window_, "draw", G_CALLBACK(onDrawn), this);
}

// Returning TRUE keeps GTK from destroying the window under the controls.
gboolean DesktopWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<DesktopWindow*>(self)->close();
  return TRUE;
}

void DesktopWindow::onDestroy(GtkWidget*, gpointer self) {
  static_cast<DesktopWindow*>(self)->close();
}

void DesktopWindow::onClicked(GtkButton*, gpointer self) {
  static_cast<DesktopWindow*>(self)->close();
}

gboolean DesktopWindow::onPresent(gpointer self) {
  DesktopWindow* window = static_cast<DesktopWindow*>(self);
  window->present_ = 0;
  gtk_window_present(window->window_);
  return G_SOURCE_REMOVE;
}

// The frame is drawn once the redraw that emitted draw is over; an idle
// source runs after it.
gboolean DesktopWindow::onDrawn(GtkWidget* window, cairo_t*, gpointer self) {
  g_signal_handlers_disconnect_by_func(
      window, reinterpret_cast<gpointer>(onDrawn), self);
  static_cast<DesktopWindow*>(self)->shownSource_ = g_idle_add(onShown, self);
  return FALSE;
}

gboolean DesktopWindow::onShown(gpointer self) {
  DesktopWindow* window = static_cast<DesktopWindow*>(self);
  window->shownSource_ = 0;
  std::function<void()> work = std::move(window->shown_);
  work();
  return G_SOURCE_REMOVE;
}

void DesktopWindow::cancelPresent() {
  if (!present_) return;
  g_source_remove(present_);
  present_ = 0;
}
