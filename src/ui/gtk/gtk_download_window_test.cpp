// The download window's widgets, on an X server of the test's own.

#include <gtk/gtk.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/x_display.h"
#include "ui/gtk/gtk_layout_check.h"
#include "ui/backend.h"
#include "ui/desktop_import.h"
#include "ui/desktop_module.h"

extern "C" BootstrapDesktop* BOOTSTRAP_DESKTOP_ENTRY(
    const BootstrapDesktopApi** api, char* why, size_t whySize);

namespace {

// The widget named name under widget, depth first; null when none is.
GtkWidget* findNamed(GtkWidget* widget, const std::string& name) {
  if (name == gtk_widget_get_name(widget)) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GtkWidget* found = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* child = children; child && !found; child = child->next)
    found = findNamed(GTK_WIDGET(child->data), name);
  g_list_free(children);
  return found;
}

GtkWidget* findInToplevels(const std::string& name) {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* window = windows; window && !found; window = window->next)
    found = findNamed(GTK_WIDGET(window->data), name);
  g_list_free(windows);
  return found;
}

// The scale the label's own attributes give its text; 1 without one.
double fontScale(GtkLabel* label) {
  PangoAttrList* attributes = gtk_label_get_attributes(label);
  if (!attributes) return 1;
  PangoAttrIterator* it = pango_attr_list_get_iterator(attributes);
  PangoAttribute* scale = pango_attr_iterator_get(it, PANGO_ATTR_SCALE);
  double value = scale ? reinterpret_cast<PangoAttrFloat*>(scale)->value : 1;
  pango_attr_iterator_destroy(it);
  return value;
}

class DownloadWindowWidgets : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok());
    setenv("DISPLAY", x_.name().c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);  // no accessibility bus here
  }

  // The module's window, as the executable takes it; null (the test
  // failed) when it cannot be had.
  std::unique_ptr<UiBackend> openWindow() {
    char why[256] = "";
    const BootstrapDesktopApi* api = nullptr;
    BootstrapDesktop* desktop = BOOTSTRAP_DESKTOP_ENTRY(&api, why, sizeof why);
    EXPECT_TRUE(desktop) << why;
    return desktop ? importBackend(api, desktop) : nullptr;
  }

  XDisplay x_;
};

TEST_F(DownloadWindowWidgets, DetailLineUnderTheStatusIsSmallerAndDimmer) {
  std::unique_ptr<UiBackend> backend = openWindow();
  ASSERT_TRUE(backend);
  DownloadWindowOutlets w = backend->outlets();
  GtkWidget* detail = findInToplevels("detail");
  ASSERT_NE(detail, nullptr);

  for (const char* text : {"12.5 MiB of 32.0 MiB \u2014 1.2 MiB/s, 0:16 left",
                           "12.5 MiB \u2014 1.2 MiB/s", ""}) {
    w.detail->setStringValue(text);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(detail)), text);
  }
  // A new text keeps the look, which comes from the theme, not a colour.
  EXPECT_LT(fontScale(GTK_LABEL(detail)), 1);
  EXPECT_TRUE(gtk_style_context_has_class(gtk_widget_get_style_context(detail),
                                          GTK_STYLE_CLASS_DIM_LABEL));
}

GtkWindow* theToplevel() {
  GList* windows = gtk_window_list_toplevels();
  GtkWindow* window = windows ? GTK_WINDOW(windows->data) : nullptr;
  g_list_free(windows);
  return window;
}

// A failure naming a long path wraps, all of it on show at the window's
// own size, beside a button that copies the details.
TEST_F(DownloadWindowWidgets, AFailureIsNeverCutAndItsDetailsCanBeCopied) {
  std::unique_ptr<UiBackend> backend = openWindow();
  ASSERT_TRUE(backend);
  DownloadWindowOutlets w = backend->outlets();
  ASSERT_NE(w.copyDetails, nullptr);
  w.downloadPercent->setStringValue(
      "Error during the download process.\nCould not resolve host: "
      "downloads.an-installer-vendor-with-a-long-name.example.com");
  w.downloadPercent->setTextColor(TextColor::kRed);
  w.detail->setStringValue(
      "The details are in /home/a-user-with-a-long-name/.tarvik/"
      "app_installer_cache/Q4711x/darw64/last-failure.log.");
  w.copyDetails->offer("the run's lines\n");
  GtkWindow* window = theToplevel();
  ASSERT_NE(window, nullptr);
  showAndSettle(window);
  EXPECT_EQ(cutLabels(GTK_WIDGET(window), GTK_WIDGET(window)),
            std::vector<std::string>{});
  GtkWidget* copy = findInToplevels("copy-details");
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(gtk_widget_get_visible(copy));
}

// A session that ends may destroy the window under us: a cancel.
TEST_F(DownloadWindowWidgets, DestroyedFromOutsideItClosesAsACancel) {
  std::unique_ptr<UiBackend> backend = openWindow();
  ASSERT_TRUE(backend);
  DownloadWindowOutlets w = backend->outlets();
  int closes = 0;
  w.window->setCloseHandler([&] {
    ++closes;
    backend->loop().stop(0);
  });
  GtkWindow* window = theToplevel();
  ASSERT_NE(window, nullptr);
  gtk_window_set_title(window, "Setup");
  showAndSettle(window);
  ASSERT_TRUE(x_.destroy(x_.findWindow("Setup", 2000)));
  backend->loop().runAfter(5, [&] { backend->loop().stop(1); });
  EXPECT_EQ(backend->loop().run(), 0) << "still open 5 s later";
  EXPECT_EQ(closes, 1);
  // The controls outlive the window.
  w.downloadPercent->setStringValue("late");
  w.progress->setDoubleValue(10);
}

}  // namespace
