#include "ui/gtk/gtk_toolkit.h"

#include <stdio.h>

namespace {

// What GTK has pending once a window is destroyed, up to a bound: a source
// that is always ready must not hold up the install agent.
const int kMaxDrainPasses = 100;

// The splash's width; a window is this wide plus its margins.
const int kContentWidth = 400;
const int kMargin = 20;

}  // namespace

bool startToolkit(char* why, size_t whySize) {
  // GTK warns when told this after its first start, and the failure window
  // may come after the download window.
  static bool localeKept = false;
  if (!localeKept) gtk_disable_setlocale();
  localeKept = true;
  if (gtk_init_check(nullptr, nullptr)) return true;
  // The executable, which read the environment, names the display.
  snprintf(why, whySize, "cannot open display");
  return false;
}

void setWindowContent(GtkWindow* window,
                      std::initializer_list<GtkWidget*> rows) {
  GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, kRowSpacing);
  gtk_widget_set_size_request(content, kContentWidth, -1);
  gtk_widget_set_margin_start(content, kMargin);
  gtk_widget_set_margin_end(content, kMargin);
  gtk_widget_set_margin_top(content, kMargin);
  gtk_widget_set_margin_bottom(content, kMargin);
  for (GtkWidget* row : rows) gtk_container_add(GTK_CONTAINER(content), row);
  gtk_container_add(GTK_CONTAINER(window), content);
  gtk_widget_show_all(content);
}

void destroyWindowNow(GtkWindow* window) {
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  gtk_widget_destroy(GTK_WIDGET(window));
  for (int pass = 0; pass < kMaxDrainPasses && g_main_context_pending(nullptr);
       ++pass)
    g_main_context_iteration(nullptr, FALSE);
  gdk_display_sync(display);
}

void closeOnEscape(GtkWindow* window, GtkButton* button) {
  GtkAccelGroup* keys = gtk_accel_group_new();
  gtk_window_add_accel_group(window, keys);
  gtk_widget_add_accelerator(GTK_WIDGET(button), "clicked", keys,
                             GDK_KEY_Escape, static_cast<GdkModifierType>(0),
                             static_cast<GtkAccelFlags>(0));
  g_object_unref(keys);
}
