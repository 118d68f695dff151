// The failure window's widgets, on an X server of the test's own.

#include "ui/gtk/gtk_failure_window.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
// After GoogleTest: Xlib's macros (None) would break its headers.
#include <gdk/gdkx.h>

#include "support/x_display.h"
#include "ui/gtk/gtk_layout_check.h"
#include "ui/gtk/gtk_toolkit.h"

namespace {

using Strings = std::vector<std::string>;

Strings labelTexts(GtkBox* box) {
  Strings texts;
  GList* children = gtk_container_get_children(GTK_CONTAINER(box));
  for (GList* child = children; child; child = child->next)
    texts.push_back(gtk_label_get_text(GTK_LABEL(child->data)));
  g_list_free(children);
  return texts;
}

class FailureWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    setenv("DISPLAY", x_.name().c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);  // no accessibility bus here
    char why[256];
    ASSERT_TRUE(startToolkit(why, sizeof why)) << why;
  }

  XDisplay x_;
};

// Bytes off the disk need not be UTF-8, which GTK would refuse to show.
TEST_F(FailureWindow, ShowsEveryLineInOrderAndGoesWhenTold) {
  FailureLayout layout("Setup: Installation failed",
                       {"Application install was not successful.",
                        "The payload /x\xff/bundle.zip is missing",
                        "Installation failed."},
                       "");
  EXPECT_EQ(labelTexts(layout.lines),
            (Strings{"Application install was not successful.",
                     "The payload /x\xef\xbf\xbd/bundle.zip is missing",
                     "Installation failed."}));
  EXPECT_FALSE(gtk_widget_get_visible(layout.copy.widget()));

  // Told before it showed: it returns at once.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  runUntilClosed(layout, fds[0]);
  close(fds[0]);
  close(fds[1]);
}

// Long paths and an agent's long line wrap at the window's own width; the
// details go to the clipboard whole.
TEST_F(FailureWindow, NoTextIsCutAndTheDetailsCanBeCopied) {
  const std::string path =
      "/home/a-user-with-a-long-name/.tarvik/app_installer_cache/Q4711x/"
      "darw64/last-failure.log";
  const Strings lines = {
      "Application install was not successful.", "Installation failed.",
      "The install agent said:",
      "cannot write to the target folder /opt/" + std::string(150, 'x') +
          ": Permission denied (os error 13), and so the install stopped",
      "The details are in " + path + "."};
  FailureLayout layout("Setup: Installation failed", lines, "a\nb\n");
  showAndSettle(layout.window);
  EXPECT_EQ(cutLabels(GTK_WIDGET(layout.window), GTK_WIDGET(layout.window)),
            Strings{});
  EXPECT_EQ(labelTexts(layout.lines), lines);

  ASSERT_TRUE(gtk_widget_get_visible(layout.copy.widget()));
  gtk_button_clicked(GTK_BUTTON(layout.copy.widget()));
  gchar* copied = gtk_clipboard_wait_for_text(
      gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
  EXPECT_STREQ(copied, "a\nb\n");
  g_free(copied);
}

// A session that ends may destroy the window under us: that closes it.
TEST_F(FailureWindow, DestroyedFromOutsideItCloses) {
  FailureLayout layout("Setup: Installation failed", {"Installation failed."},
                       "details");
  showAndSettle(layout.window);
  ASSERT_TRUE(x_.destroy(
      GDK_WINDOW_XID(gtk_widget_get_window(GTK_WIDGET(layout.window)))));
  // Should it not close, the pipe ends the wait 5 s later, and the test
  // fails rather than hangs.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  guint late = g_timeout_add(5000, [](gpointer fd) -> gboolean {
    (void)!write(GPOINTER_TO_INT(fd), "x", 1);
    return G_SOURCE_REMOVE;
  }, GINT_TO_POINTER(fds[1]));
  const gint64 start = g_get_monotonic_time();
  runUntilClosed(layout, fds[0]);
  EXPECT_LT(g_get_monotonic_time() - start, 4 * G_USEC_PER_SEC);
  g_source_remove(late);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
