#ifndef BOOTSTRAP_UI_CONSOLE_CONSOLE_WIDGETS_H_
#define BOOTSTRAP_UI_CONSOLE_CONSOLE_WIDGETS_H_

#include <string>

#include "ui/widgets.h"

// The controls of the console window. Only the progress indicator and the
// text field hold anything the console shows; the window reads them when
// it is refreshed.

class ConsoleProgress : public ProgressIndicator {
 public:
  void setDoubleValue(double value) override { value_ = value; }
  double doubleValue() const override { return value_; }
  void incrementBy(double delta) override { value_ += delta; }
  void setMaxValue(double maxValue) override { max_ = maxValue; }
  double maxValue() const override { return max_; }
  void setIndeterminate(bool indeterminate) override {
    indeterminate_ = indeterminate;
  }
  bool isIndeterminate() const override { return indeterminate_; }
  // A line that is only redrawn on refresh has nothing to animate.
  void startAnimation() override {}
  void stopAnimation() override {}

 private:
  double value_ = 0;
  double max_ = 100;
  bool indeterminate_ = true;  // no total is known until one is set
};

class ConsoleTextField : public TextField {
 public:
  void setStringValue(const std::string& text) override { text_ = text; }
  void setTextColor(TextColor color) override { color_ = color; }
  const std::string& text() const { return text_; }
  TextColor color() const { return color_; }

 private:
  std::string text_;
  TextColor color_ = TextColor::kNormal;
};

// Nobody can press a button on a console, and its title and state have
// nowhere to show, so it keeps nothing.
class ConsoleButton : public Button {
 public:
  void setTitle(const std::string&) override {}
  void setEnabled(bool) override {}
  void setKeyEquivalent(const std::string&) override {}
};

// A console shows no images: every image counts as one that cannot be
// loaded, so the window goes on without its splash.
class ConsoleImageView : public ImageView {
 public:
  bool showImageFile(const std::string&, int, int) override { return false; }
};

#endif
