// The download window's widgets, on an X server of the test's own.

#include <gtk/gtk.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "support/x_display.h"
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

  XDisplay x_;
};

TEST_F(DownloadWindowWidgets, DetailLineUnderTheStatusIsSmallerAndDimmer) {
  char why[256] = "";
  const BootstrapDesktopApi* api = nullptr;
  BootstrapDesktop* desktop = BOOTSTRAP_DESKTOP_ENTRY(&api, why, sizeof why);
  ASSERT_TRUE(desktop) << why;
  std::unique_ptr<UiBackend> backend = importBackend(api, desktop);
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

}  // namespace
