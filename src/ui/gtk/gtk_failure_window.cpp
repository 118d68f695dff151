#include "ui/gtk/gtk_failure_window.h"

#include <glib-unix.h>

#include "ui/gtk/gtk_toolkit.h"

namespace {

GtkWidget* lineLabel(const std::string& line) {
  GtkLabel* label = GTK_LABEL(gtk_label_new(validUtf8(line).c_str()));
  setWrapping(label);
  return GTK_WIDGET(label);
}

void quit(gpointer loop) { g_main_loop_quit(static_cast<GMainLoop*>(loop)); }

// TRUE: the window outlives the loop, and its owner destroys it.
gboolean onDelete(GtkWidget*, GdkEvent*, gpointer loop) {
  quit(loop);
  return TRUE;
}

void onClicked(GtkButton*, gpointer loop) { quit(loop); }

void onDestroy(GtkWidget*, gpointer loop) { quit(loop); }

// Kept until the loop is over: the descriptor stays readable.
gboolean onCloseRequest(gint, GIOCondition, gpointer loop) {
  quit(loop);
  return G_SOURCE_CONTINUE;
}

}  // namespace

FailureLayout::FailureLayout(const std::string& title,
                             const std::vector<std::string>& texts,
                             const std::string& details)
    : window(GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL))),
      lines(GTK_BOX(gtk_box_new(GTK_ORIENTATION_VERTICAL, kRowSpacing / 2))),
      close(GTK_BUTTON(gtk_button_new_with_label("Close"))) {
  // Held, so that a window destroyed from outside is still ours to drop.
  g_object_ref(window);
  g_object_ref_sink(lines);
  g_object_ref_sink(close);
  gtk_window_set_title(window, validUtf8(title).c_str());
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_position(window, GTK_WIN_POS_CENTER);
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
  for (const std::string& text : texts)
    gtk_container_add(GTK_CONTAINER(lines), lineLabel(text));
  if (!details.empty()) copy.offer(details);

  setWindowContent(window, {GTK_WIDGET(lines),
                            buttonRow({copy.widget(), GTK_WIDGET(close)})});

  // Only a button inside its window can be its default.
  gtk_widget_set_can_default(GTK_WIDGET(close), TRUE);
  gtk_widget_grab_default(GTK_WIDGET(close));
  gtk_widget_grab_focus(GTK_WIDGET(close));
  closeOnEscape(window, close);
}

FailureLayout::~FailureLayout() {
  destroyWindowNow(window);
  g_object_unref(close);
  g_object_unref(lines);
  g_object_unref(window);
}

void runUntilClosed(FailureLayout& layout, int closeFd) {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_signal_connect(layout.window, "delete-event", G_CALLBACK(onDelete), loop);
  g_signal_connect(layout.close, "clicked", G_CALLBACK(onClicked), loop);
  g_signal_connect(layout.window, "destroy", G_CALLBACK(onDestroy), loop);
  guint watch = closeFd < 0 ? 0
                            : g_unix_fd_add(closeFd,
                                            static_cast<GIOCondition>(
                                                G_IO_IN | G_IO_HUP | G_IO_ERR),
                                            onCloseRequest, loop);
  gtk_window_present(layout.window);
  g_main_loop_run(loop);
  if (watch) g_source_remove(watch);
  g_signal_handlers_disconnect_by_data(layout.window, loop);
  g_signal_handlers_disconnect_by_data(layout.close, loop);
  g_main_loop_unref(loop);
}
