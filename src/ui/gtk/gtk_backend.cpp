#include <gtk/gtk.h>

#include <type_traits>
#include <vector>

#include "ui/desktop_export.h"
#include "ui/desktop_module.h"
#include "ui/gtk/glib_loop.h"
#include "ui/gtk/gtk_toolkit.h"
#include "ui/gtk/gtk_widgets.h"
#include "ui/gtk/gtk_window.h"

namespace {

// Smaller than the status, and dimmed by the theme's own style class rather
// than a colour of ours; tests find it by its name.
void setUpDetail(GtkLabel* detail) {
  gtk_widget_set_name(GTK_WIDGET(detail), "detail");
  setWrapping(detail);
  gtk_style_context_add_class(gtk_widget_get_style_context(GTK_WIDGET(detail)),
                              GTK_STYLE_CLASS_DIM_LABEL);
  PangoAttrList* small = pango_attr_list_new();
  pango_attr_list_insert(small, pango_attr_scale_new(PANGO_SCALE_SMALL));
  gtk_label_set_attributes(detail, small);
  pango_attr_list_unref(small);
}

// The widget tree of the download window, top to bottom: splash, status,
// detail, bar, buttons. Made first and destroyed last, after the controls
// over it; each widget is held, so that the controls stay valid when the
// window is destroyed from outside (a session that ends).
struct DownloadLayout {
  DownloadLayout();
  ~DownloadLayout();
  DownloadLayout(const DownloadLayout&) = delete;
  DownloadLayout& operator=(const DownloadLayout&) = delete;

  std::vector<GtkWidget*> held() const {
    return {GTK_WIDGET(window), GTK_WIDGET(image), GTK_WIDGET(text),
            GTK_WIDGET(detail), GTK_WIDGET(progress), GTK_WIDGET(button)};
  }

  GtkWindow* window;
  GtkImage* image;
  GtkLabel* text;
  GtkLabel* detail;
  GtkProgressBar* progress;
  GtkButton* button;
  DetailsButton copy;
};

DownloadLayout::DownloadLayout()
    : window(GTK_WINDOW(gtk_window_new(GTK_WINDOW_TOPLEVEL))),
      image(GTK_IMAGE(gtk_image_new())),
      text(GTK_LABEL(gtk_label_new(""))),
      detail(GTK_LABEL(gtk_label_new(""))),
      progress(GTK_PROGRESS_BAR(gtk_progress_bar_new())),
      button(GTK_BUTTON(gtk_button_new_with_label("Cancel"))) {
  for (GtkWidget* widget : held()) g_object_ref(widget);
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_position(window, GTK_WIN_POS_CENTER);
  gtk_widget_set_no_show_all(GTK_WIDGET(image), TRUE);
  setWrapping(text);
  setUpDetail(detail);

  // The status sits closer to its bar than to the rest, its detail closer
  // still; an empty detail keeps its line, so the bar does not jump.
  GtkWidget* lines = gtk_box_new(GTK_ORIENTATION_VERTICAL, kRowSpacing / 4);
  gtk_container_add(GTK_CONTAINER(lines), GTK_WIDGET(text));
  gtk_container_add(GTK_CONTAINER(lines), GTK_WIDGET(detail));
  GtkWidget* status = gtk_box_new(GTK_ORIENTATION_VERTICAL, kRowSpacing / 2);
  gtk_container_add(GTK_CONTAINER(status), lines);
  gtk_container_add(GTK_CONTAINER(status), GTK_WIDGET(progress));

  setWindowContent(window, {GTK_WIDGET(image), status,
                            buttonRow({copy.widget(), GTK_WIDGET(button)})});

  // Usable from the keyboard alone: the button has the focus, and Escape
  // does what it does.
  gtk_widget_grab_focus(GTK_WIDGET(button));
  closeOnEscape(window, button);
}

// The bootstrap runs the install agent next, maybe for minutes: the window
// must be gone from the screen by then.
DownloadLayout::~DownloadLayout() {
  destroyWindowNow(window);
  for (GtkWidget* widget : held()) g_object_unref(widget);
}

class DesktopBackend : public UiBackend {
 public:
  DesktopBackend()
      : progress_(layout_.progress),
        text_(layout_.text),
        detail_(layout_.detail),
        image_(layout_.image),
        cancel_(layout_.button),
        window_(layout_.window, layout_.button),
        copyDetails_(layout_.copy) {}

  MainLoop& loop() override { return loop_; }

  DownloadWindowOutlets outlets() override {
    return {&progress_, &image_,  &text_,  &detail_,
            &window_,   &cancel_, &copyDetails_};
  }

  void show(const std::string& title) override { window_.show(title); }

 private:
  // The layout comes first, so that its widgets outlive the controls; the
  // loop goes before it, so that none of its sources runs in the drain.
  DownloadLayout layout_;
  GLibLoop loop_;
  DesktopProgress progress_;
  DesktopTextField text_;
  DesktopTextField detail_;
  DesktopImageView image_;
  DesktopButton cancel_;
  DesktopWindow window_;
  DesktopDetailsOffer copyDetails_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) BootstrapDesktop*
BOOTSTRAP_DESKTOP_ENTRY(const BootstrapDesktopApi** api, char* why,
                        size_t whySize) {
  if (!startToolkit(why, whySize)) return nullptr;
  *api = exportedDesktopApi();
  return exportBackend(std::unique_ptr<UiBackend>(new DesktopBackend()));
}

static_assert(
    std::is_same<decltype(&BOOTSTRAP_DESKTOP_ENTRY), DesktopEntryFn>::value,
    "the entry must match what the executable looks up");
