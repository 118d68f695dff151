#ifndef BOOTSTRAP_UI_DESKTOP_ABI_H_
#define BOOTSTRAP_UI_DESKTOP_ABI_H_

#include <stddef.h>

// What passes between the executable and its desktop module: C types alone.
// Each side carries its own copy of the C++ runtime, so no C++ object,
// string or function may cross; each side keeps its own and hands the
// other plain pointers, numbers and callbacks.
extern "C" {

// The module's download window with its loop, opaque to the executable.
typedef struct BootstrapDesktop BootstrapDesktop;

// Work for the loop, with what it needs. A call runs it.
typedef void (*BootstrapCall)(void* context);
// Work for later: the module calls it exactly once, with run 0 when the
// loop ended first, so that the executable can free its context.
typedef void (*BootstrapLaterCall)(void* context, int run);

// Which text field a call means.
enum { kBootstrapStatusField = 0, kBootstrapDetailField = 1 };

// The window's operations, each as its C++ counterpart in main_loop.h and
// widgets.h; booleans are ints.
typedef struct BootstrapDesktopApi {
  void (*destroy)(BootstrapDesktop*);
  void (*show)(BootstrapDesktop*, const char* title);

  int (*run)(BootstrapDesktop*);
  void (*stop)(BootstrapDesktop*, int status);
  int (*dispatchSync)(BootstrapDesktop*, BootstrapCall work, void* context);
  void (*runAfter)(BootstrapDesktop*, double seconds, BootstrapLaterCall work,
                   void* context);

  void (*setProgress)(BootstrapDesktop*, double value);
  double (*progress)(BootstrapDesktop*);
  void (*incrementProgress)(BootstrapDesktop*, double delta);
  void (*setProgressMax)(BootstrapDesktop*, double maxValue);
  double (*progressMax)(BootstrapDesktop*);
  void (*setIndeterminate)(BootstrapDesktop*, int indeterminate);
  int (*isIndeterminate)(BootstrapDesktop*);
  void (*startAnimation)(BootstrapDesktop*);
  void (*stopAnimation)(BootstrapDesktop*);

  void (*setText)(BootstrapDesktop*, int field, const char* text);
  void (*setTextRed)(BootstrapDesktop*, int field, int red);

  void (*setButtonTitle)(BootstrapDesktop*, const char* title);
  void (*setButtonEnabled)(BootstrapDesktop*, int enabled);
  void (*setButtonKey)(BootstrapDesktop*, const char* key);

  int (*showImageFile)(BootstrapDesktop*, const char* path, int width,
                       int height);

  void (*close)(BootstrapDesktop*);
  void (*refresh)(BootstrapDesktop*);
  void (*setCloseHandler)(BootstrapDesktop*, BootstrapCall handler,
                          void* context);
  void (*whenShown)(BootstrapDesktop*, BootstrapLaterCall work, void* context);

  void (*offerDetails)(BootstrapDesktop*, const char* details);
} BootstrapDesktopApi;

}  // extern "C"

#endif
