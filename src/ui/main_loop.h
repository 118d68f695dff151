#ifndef BOOTSTRAP_UI_MAIN_LOOP_H_
#define BOOTSTRAP_UI_MAIN_LOOP_H_

#include <functional>

// The application loop of the download window, run on the main thread. The
// loop thread is the one that made the loop, and the one in run() once it
// runs; widgets may be set up there before run().
class MainLoop {
 public:
  virtual ~MainLoop() = default;
  // Runs until stop(); returns the status given to the first stop().
  virtual int run() = 0;
  // Ends run() with status. Callable from any thread, also before run().
  virtual void stop(int status) = 0;
  // Runs work on the loop thread and waits for it; inline on that thread.
  // Once the loop has ended the work is dropped and false returned, so a
  // worker never waits for a loop that will not come back.
  virtual bool dispatchSync(const std::function<void()>& work) = 0;
  // Runs work on the loop thread after the delay, if the loop still runs.
  // Only called on the loop thread.
  virtual void runAfter(double seconds, std::function<void()> work) = 0;
};

#endif
