#include "ui/gtk/gtk_toolkit.h"

#include <stdio.h>
#include <string.h>

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace {

// What GTK has pending once a window is destroyed, up to a bound: a source
// that is always ready must not hold up the install agent.
const int kMaxDrainPasses = 100;

// The splash's width; a window is this wide plus its margins.
const int kContentWidth = 400;
const int kMargin = 20;

// GDK's warning when a window of ours is destroyed from outside.
const char kVanished[] = "unexpectedly destroyed";
bool windowVanished = false;

// A window destroyed from outside (a session that ends) is no fault of the
// run, which closes the window as a cancel. GDK warns of it, and GTK's
// teardown of such a window complains on: from that warning on, the
// toolkit's warnings are let go rather than written where the run's own
// lines go.
// The module is the only part of the program that uses GLib, so it sets
// the program's log writer.
GLogWriterOutput quietAfterVanishing(GLogLevelFlags level,
                                     const GLogField* fields, gsize count,
                                     gpointer data) {
  if (level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL)) {
    for (gsize i = 0; i < count && !windowVanished; ++i)
      if (strcmp(fields[i].key, "MESSAGE") == 0 && fields[i].length < 0 &&
          strstr(static_cast<const char*>(fields[i].value), kVanished))
        windowVanished = true;
    if (windowVanished) return G_LOG_WRITER_HANDLED;
  }
  return g_log_writer_default(level, fields, count, data);
}

// Such a window also makes the X server refuse what was already on its way
// to it, and GDK would end the process on the first refusal, scratch
// directory and all: the errors are let go, all of them, once per display.
void tolerateVanishedWindows() {
  static bool quiet = false;
  if (!quiet) g_log_set_writer_func(quietAfterVanishing, nullptr, nullptr);
  quiet = true;
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = gdk_display_get_default();
  static GdkDisplay* tolerant = nullptr;
  if (!GDK_IS_X11_DISPLAY(display) || display == tolerant) return;
  tolerant = display;
  gdk_x11_display_error_trap_push(display);
#endif
}

}  // namespace

bool startToolkit(char* why, size_t whySize) {
  // GTK warns when told this after its first start, and the failure window
  // may come after the download window.
  static bool localeKept = false;
  if (!localeKept) gtk_disable_setlocale();
  localeKept = true;
  if (gtk_init_check(nullptr, nullptr)) {
    tolerateVanishedWindows();
    return true;
  }
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

std::string validUtf8(const std::string& text) {
  gchar* valid = g_utf8_make_valid(text.c_str(), -1);
  std::string result(valid);
  g_free(valid);
  return result;
}

void setWrapping(GtkLabel* label) {
  gtk_label_set_xalign(label, 0);
  gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_NONE);
  gtk_label_set_line_wrap(label, TRUE);
  gtk_label_set_line_wrap_mode(label, PANGO_WRAP_WORD_CHAR);
  // Its width is the content's, not that of its longest line.
  gtk_label_set_max_width_chars(label, 1);
}

GtkWidget* buttonRow(std::initializer_list<GtkWidget*> buttons) {
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, kRowSpacing / 2);
  gtk_widget_set_halign(row, GTK_ALIGN_END);
  for (GtkWidget* button : buttons) gtk_container_add(GTK_CONTAINER(row), button);
  return row;
}

DetailsButton::DetailsButton()
    : button_(GTK_BUTTON(gtk_button_new_with_label("Copy details"))) {
  // Held, so that a window destroyed from outside leaves it to us.
  g_object_ref_sink(button_);
  gtk_widget_set_name(GTK_WIDGET(button_), "copy-details");  // for tests
  gtk_widget_set_no_show_all(GTK_WIDGET(button_), TRUE);
  // A click leaves the focus where it was, so Return still closes.
  gtk_widget_set_focus_on_click(GTK_WIDGET(button_), FALSE);
  g_signal_connect(button_, "clicked", G_CALLBACK(onClicked), this);
}

DetailsButton::~DetailsButton() {
  g_signal_handlers_disconnect_by_data(button_, this);
  g_object_unref(button_);
}

void DetailsButton::offer(const std::string& details) {
  details_ = details;
  gtk_widget_show(GTK_WIDGET(button_));
}

void DetailsButton::onClicked(GtkButton* button, gpointer self) {
  const std::string details =
      validUtf8(static_cast<DetailsButton*>(self)->details_);
  GtkClipboard* clipboard = gtk_widget_get_clipboard(
      GTK_WIDGET(button), GDK_SELECTION_CLIPBOARD);
  gtk_clipboard_set_text(clipboard, details.c_str(), -1);
  // Handed to the desktop's clipboard manager, where there is one, so that
  // it can still be pasted once the run has ended; else it goes with us.
  gtk_clipboard_set_can_store(clipboard, nullptr, 0);
  gtk_clipboard_store(clipboard);
  gtk_button_set_label(button, "Copied");
}
