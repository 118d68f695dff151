#ifndef BOOTSTRAP_UI_WIDGETS_H_
#define BOOTSTRAP_UI_WIDGETS_H_

#include <functional>
#include <string>

// What the download controller holds as its outlets. Every call must be
// made on the loop thread (see MainLoop::dispatchSync).

enum class TextColor { kNormal, kRed };

class ProgressIndicator {
 public:
  virtual ~ProgressIndicator() = default;
  virtual void setDoubleValue(double value) = 0;
  virtual double doubleValue() const = 0;
  virtual void incrementBy(double delta) = 0;
  virtual void setMaxValue(double maxValue) = 0;
  virtual double maxValue() const = 0;
  virtual void setIndeterminate(bool indeterminate) = 0;
  virtual bool isIndeterminate() const = 0;
  virtual void startAnimation() = 0;
  virtual void stopAnimation() = 0;
};

// One line of text: the status, or the detail under it.
class TextField {
 public:
  virtual ~TextField() = default;
  virtual void setStringValue(const std::string& text) = 0;
  virtual void setTextColor(TextColor color) = 0;
};

// Its action closes the window (the controller hears of it through the
// window's close handler); the window system gives its initial title.
class Button {
 public:
  virtual ~Button() = default;
  virtual void setTitle(const std::string& title) = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual void setKeyEquivalent(const std::string& key) = 0;
};

class ImageView {
 public:
  virtual ~ImageView() = default;
  // Shows the image file scaled proportionally into width x height points;
  // false (and the view unchanged) when it cannot be loaded.
  virtual bool showImageFile(const std::string& path, int width,
                             int height) = 0;
};

class Window {
 public:
  virtual ~Window() = default;
  // Closes the window; the close handler runs first, whoever closes it.
  virtual void close() = 0;
  // Lays out and redraws after a batch of changes.
  virtual void refresh() = 0;
  // The window's delegate: runs once when the window closes by any means.
  virtual void setCloseHandler(std::function<void()> handler) = 0;
  // Runs work once on the loop thread when the window's first frame is
  // drawn: at once where there is no frame to wait for; never when the
  // window is gone first.
  virtual void whenShown(std::function<void()> work) { work(); }
};

// Offers a failed run's details for a support request: shows a "Copy
// details" button that puts them on the clipboard.
class DetailsOffer {
 public:
  virtual ~DetailsOffer() = default;
  virtual void offer(const std::string& details) = 0;
};

// The controls of the download window, owned by the backend.
struct DownloadWindowOutlets {
  ProgressIndicator* progress = nullptr;
  ImageView* image = nullptr;
  TextField* downloadPercent = nullptr;
  // Under the status, smaller and dimmer: how much has arrived, how fast,
  // how long the rest will take. The console draws the same figures into
  // its status line itself, and shows nothing of this one.
  TextField* detail = nullptr;
  Window* window = nullptr;
  Button* cancel = nullptr;
  // Null where there is no clipboard to copy to (the console).
  DetailsOffer* copyDetails = nullptr;
};

#endif
