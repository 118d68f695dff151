// The failure window's widgets, on an X server of the test's own.

#include "ui/gtk/gtk_failure_window.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/x_display.h"

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
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
  }

  XDisplay x_;
};

// Bytes off the disk need not be UTF-8, which GTK would refuse to show.
TEST_F(FailureWindow, ShowsEveryLineInOrderAndGoesWhenTold) {
  FailureLayout layout("Setup: Installation failed",
                       {"Application install was not successful.",
                        "The payload /x\xff/bundle.zip is missing",
                        "Installation failed."});
  EXPECT_EQ(labelTexts(layout.lines),
            (Strings{"Application install was not successful.",
                     "The payload /x\xef\xbf\xbd/bundle.zip is missing",
                     "Installation failed."}));

  // Told before it showed: it returns at once.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  runUntilClosed(layout, fds[0]);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
