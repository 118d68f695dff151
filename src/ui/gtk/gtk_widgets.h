#ifndef BOOTSTRAP_UI_GTK_GTK_WIDGETS_H_
#define BOOTSTRAP_UI_GTK_GTK_WIDGETS_H_

#include <gtk/gtk.h>

#include <string>

#include "ui/gtk/gtk_toolkit.h"
#include "ui/widgets.h"

// The controls of the desktop window, each over a GTK widget that the
// window owns and that outlives the control.

// A bar filled to value / max. Indeterminate, it pulses while animated and
// stands empty otherwise.
class DesktopProgress : public ProgressIndicator {
 public:
  explicit DesktopProgress(GtkProgressBar* bar);
  ~DesktopProgress() override;
  DesktopProgress(const DesktopProgress&) = delete;
  DesktopProgress& operator=(const DesktopProgress&) = delete;

  void setDoubleValue(double value) override;
  double doubleValue() const override { return value_; }
  void incrementBy(double delta) override;
  void setMaxValue(double maxValue) override;
  double maxValue() const override { return max_; }
  void setIndeterminate(bool indeterminate) override;
  bool isIndeterminate() const override { return indeterminate_; }
  void startAnimation() override;
  void stopAnimation() override;

 private:
  static gboolean onTick(GtkWidget* widget, GdkFrameClock* clock,
                         gpointer self);
  void update();
  void startPulsing();
  void stopPulsing();

  GtkProgressBar* bar_;
  double value_ = 0;
  double max_ = 100;
  bool indeterminate_ = true;  // no total is known until one is set
  bool animating_ = false;
  guint tick_ = 0;  // the pulse's tick callback while it pulses
  gint64 lastPulse_ = 0;
};

// The status, or the detail under it: each line of a text gets a line of
// its own, and a long one wraps. Red comes from a style class.
class DesktopTextField : public TextField {
 public:
  explicit DesktopTextField(GtkLabel* label);

  void setStringValue(const std::string& text) override;
  void setTextColor(TextColor color) override;

 private:
  GtkLabel* label_;
};

// Its action is wired by the window. Only Return has a meaning as its key
// equivalent: it makes the button the window's default, which Return and
// Enter press while it is enabled.
class DesktopButton : public Button {
 public:
  explicit DesktopButton(GtkButton* button) : button_(button) {}

  void setTitle(const std::string& title) override;
  void setEnabled(bool enabled) override;
  void setKeyEquivalent(const std::string& key) override;

 private:
  GtkButton* button_;
};

class DesktopDetailsOffer : public DetailsOffer {
 public:
  explicit DesktopDetailsOffer(DetailsButton& button) : button_(button) {}
  void offer(const std::string& details) override { button_.offer(details); }

 private:
  DetailsButton& button_;
};

// Hidden until it shows an image. The image is loaded at the pixel size of
// the widget's scale factor, and again when that changes (another monitor).
class DesktopImageView : public ImageView {
 public:
  explicit DesktopImageView(GtkImage* image);
  ~DesktopImageView() override;
  DesktopImageView(const DesktopImageView&) = delete;
  DesktopImageView& operator=(const DesktopImageView&) = delete;

  bool showImageFile(const std::string& path, int width, int height) override;

 private:
  static void onScaleChanged(GObject* image, GParamSpec* property,
                             gpointer self);
  bool load(const std::string& path, int width, int height);

  GtkImage* image_;
  std::string path_;  // what it shows, to load again at another scale
  int width_ = 0;
  int height_ = 0;
};

#endif
