// What tests of the module's windows check of their layout.

#ifndef BOOTSTRAP_UI_GTK_GTK_LAYOUT_CHECK_H_
#define BOOTSTRAP_UI_GTK_GTK_LAYOUT_CHECK_H_

#include <gtk/gtk.h>
#include <unistd.h>

#include <string>
#include <vector>

// Shows the window at its own size and lets GTK lay it out.
inline void showAndSettle(GtkWindow* window) {
  gtk_window_present(window);
  for (int i = 0; i < 200 && !gtk_widget_get_mapped(GTK_WIDGET(window)); ++i)
    gtk_main_iteration_do(FALSE), usleep(5000);
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// Labels whose text does not fit where they are drawn: cut short, or
// taller than the room they were given, or reaching past the window.
inline std::vector<std::string> cutLabels(GtkWidget* widget, GtkWidget* window) {
  std::vector<std::string> cut;
  if (GTK_IS_LABEL(widget) && gtk_widget_get_visible(widget)) {
    PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(widget));
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    GtkAllocation room;
    gtk_widget_get_allocation(widget, &room);
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(widget, window, 0, 0, &x, &y);
    if (pango_layout_is_ellipsized(layout) || height > room.height ||
        width > room.width ||
        x + room.width > gtk_widget_get_allocated_width(window) ||
        y + room.height > gtk_widget_get_allocated_height(window))
      cut.push_back(gtk_label_get_text(GTK_LABEL(widget)));
  }
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child; child = child->next) {
      std::vector<std::string> inner = cutLabels(GTK_WIDGET(child->data), window);
      cut.insert(cut.end(), inner.begin(), inner.end());
    }
    g_list_free(children);
  }
  return cut;
}

#endif
