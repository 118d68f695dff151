#include "ui/gtk/gtk_widgets.h"

namespace {

// How often an indeterminate bar moves while animated.
const gint64 kPulseMicroseconds = 100 * 1000;

const char kFailureClass[] = "failure";
// Readable on light and dark themes alike.
const char kFailureStyle[] = "label.failure { color: #e01b24; }";

double fractionOf(double value, double maxValue) {
  double fraction = maxValue > 0 ? value / maxValue : 0;
  if (!(fraction > 0)) return 0;  // also NaN
  return fraction < 1 ? fraction : 1;
}

}  // namespace

DesktopProgress::DesktopProgress(GtkProgressBar* bar) : bar_(bar) { update(); }

DesktopProgress::~DesktopProgress() { stopPulsing(); }

void DesktopProgress::setDoubleValue(double value) {
  value_ = value;
  update();
}

void DesktopProgress::incrementBy(double delta) {
  value_ += delta;
  update();
}

void DesktopProgress::setMaxValue(double maxValue) {
  max_ = maxValue;
  update();
}

void DesktopProgress::setIndeterminate(bool indeterminate) {
  indeterminate_ = indeterminate;
  update();
}

void DesktopProgress::startAnimation() {
  animating_ = true;
  update();
}

void DesktopProgress::stopAnimation() {
  animating_ = false;
  update();
}

gboolean DesktopProgress::onTick(GtkWidget*, GdkFrameClock* clock,
                                 gpointer self) {
  DesktopProgress* progress = static_cast<DesktopProgress*>(self);
  gint64 now = gdk_frame_clock_get_frame_time(clock);
  if (now - progress->lastPulse_ >= kPulseMicroseconds) {
    progress->lastPulse_ = now;
    gtk_progress_bar_pulse(progress->bar_);
  }
  return G_SOURCE_CONTINUE;
}

void DesktopProgress::update() {
  if (indeterminate_ && animating_) return startPulsing();
  stopPulsing();
  gtk_progress_bar_set_fraction(bar_,
                                indeterminate_ ? 0 : fractionOf(value_, max_));
}

// Ticks come with the frames of a window on screen, and stop with them.
void DesktopProgress::startPulsing() {
  if (tick_) return;
  gtk_progress_bar_pulse(bar_);
  lastPulse_ = g_get_monotonic_time();
  tick_ = gtk_widget_add_tick_callback(GTK_WIDGET(bar_), onTick, this, nullptr);
}

void DesktopProgress::stopPulsing() {
  if (!tick_) return;
  gtk_widget_remove_tick_callback(GTK_WIDGET(bar_), tick_);
  tick_ = 0;
}

DesktopTextField::DesktopTextField(GtkLabel* label) : label_(label) {
  GtkCssProvider* style = gtk_css_provider_new();
  gtk_css_provider_load_from_data(style, kFailureStyle, -1, nullptr);
  gtk_style_context_add_provider(
      gtk_widget_get_style_context(GTK_WIDGET(label)),
      GTK_STYLE_PROVIDER(style), GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(style);
}

// A failure may quote bytes off the disk.
void DesktopTextField::setStringValue(const std::string& text) {
  gtk_label_set_text(label_, validUtf8(text).c_str());
}

void DesktopTextField::setTextColor(TextColor color) {
  GtkStyleContext* style = gtk_widget_get_style_context(GTK_WIDGET(label_));
  if (color == TextColor::kRed)
    gtk_style_context_add_class(style, kFailureClass);
  else
    gtk_style_context_remove_class(style, kFailureClass);
}

void DesktopButton::setTitle(const std::string& title) {
  gtk_button_set_label(button_, title.c_str());
}

void DesktopButton::setEnabled(bool enabled) {
  gtk_widget_set_sensitive(GTK_WIDGET(button_), enabled);
}

void DesktopButton::setKeyEquivalent(const std::string& key) {
  if (key != "\r") return;
  gtk_widget_set_can_default(GTK_WIDGET(button_), TRUE);
  gtk_widget_grab_default(GTK_WIDGET(button_));
}

DesktopImageView::DesktopImageView(GtkImage* image) : image_(image) {
  g_signal_connect(image, "notify::scale-factor", G_CALLBACK(onScaleChanged),
                   this);
}

DesktopImageView::~DesktopImageView() {
  g_signal_handlers_disconnect_by_data(image_, this);
}

bool DesktopImageView::showImageFile(const std::string& path, int width,
                                     int height) {
  if (!load(path, width, height)) return false;
  path_ = path;
  width_ = width;
  height_ = height;
  gtk_widget_show(GTK_WIDGET(image_));
  return true;
}

void DesktopImageView::onScaleChanged(GObject*, GParamSpec*, gpointer self) {
  DesktopImageView* view = static_cast<DesktopImageView*>(self);
  if (!view->path_.empty())
    view->load(view->path_, view->width_, view->height_);
}

// At scale 2 a point is two pixels: the image is loaded with twice the
// pixels and drawn at half size, so that it stays crisp.
bool DesktopImageView::load(const std::string& path, int width, int height) {
  int scale = gtk_widget_get_scale_factor(GTK_WIDGET(image_));
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_scale(
      path.c_str(), width * scale, height * scale, TRUE, nullptr);
  if (!pixbuf) return false;
  cairo_surface_t* surface =
      gdk_cairo_surface_create_from_pixbuf(pixbuf, scale, nullptr);
  gtk_image_set_from_surface(image_, surface);
  cairo_surface_destroy(surface);
  g_object_unref(pixbuf);
  return true;
}
