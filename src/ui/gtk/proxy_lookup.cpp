#include "ui/gtk/proxy_lookup.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <type_traits>

#include "ui/desktop_module.h"

namespace {

// What the asking thread and the waiting one share; whichever ends last
// frees it.
struct Asking {
  Asking() : cancellable(g_cancellable_new()) {}
  ~Asking() { g_object_unref(cancellable); }

  GCancellable* const cancellable;
  std::mutex mutex;
  std::condition_variable answered;
  bool done = false;
  bool ok = false;
  std::string answer;
  std::string why;
};

// The lines of answer that fit into out with the NUL.
void copyWholeLines(const std::string& answer, char* out, size_t outSize) {
  size_t fits = 0;
  for (size_t end = 0; (end = answer.find('\n', fits)) != std::string::npos &&
                       end + 1 < outSize;)
    fits = end + 1;
  memcpy(out, answer.data(), fits);
  out[fits] = '\0';
}

}  // namespace

ProxyQuestion desktopProxiesQuestion(const std::string& url) {
  return
      [url](GCancellable* cancellable, std::string* answer, std::string* why) {
        GError* error = nullptr;
        gchar** proxies = g_proxy_resolver_lookup(
            g_proxy_resolver_get_default(), url.c_str(), cancellable, &error);
        if (!proxies) {
          *why = error ? error->message : "no answer";
          g_clear_error(&error);
          return false;
        }
        for (gchar** proxy = proxies; *proxy; ++proxy)
          *answer += std::string(*proxy) + "\n";
        g_strfreev(proxies);
        return true;
      };
}

bool askWithin(const ProxyQuestion& question, std::chrono::milliseconds timeout,
               const std::function<bool()>& stopped, std::string* answer,
               std::string* why) {
  auto asking = std::make_shared<Asking>();
  try {
    std::thread([asking, question] {
      std::string answer, why;
      bool ok = question(asking->cancellable, &answer, &why);
      std::lock_guard<std::mutex> lock(asking->mutex);
      asking->done = true;
      asking->ok = ok;
      asking->answer = answer;
      asking->why = why;
      asking->answered.notify_all();
    }).detach();
  } catch (const std::system_error& error) {
    *why = std::string("no thread to ask on: ") + error.what();
    return false;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  std::unique_lock<std::mutex> lock(asking->mutex);
  while (!asking->done) {
    if (stopped()) {
      *why = "stopped before an answer came";
    } else if (Clock::now() >= deadline) {
      *why = "no answer within " + std::to_string(timeout.count()) + " ms";
    } else {
      asking->answered.wait_until(
          lock, std::min(deadline, Clock::now() + kStopCheckInterval));
      continue;
    }
    g_cancellable_cancel(asking->cancellable);
    return false;
  }
  *answer = asking->answer;
  *why = asking->why;
  return asking->ok;
}

extern "C" __attribute__((visibility("default"))) int BOOTSTRAP_PROXY_ENTRY(
    const char* url, int timeoutMs, ProxyStopFn stop, void* context, char* out,
    size_t outSize) {
  if (outSize == 0) return 0;
  std::string answer, why;
  auto stopped = [stop, context] { return stop && stop(context) != 0; };
  if (!askWithin(desktopProxiesQuestion(url),
                 std::chrono::milliseconds(timeoutMs), stopped, &answer,
                 &why)) {
    snprintf(out, outSize, "%s", why.c_str());
    return 0;
  }
  copyWholeLines(answer, out, outSize);
  return 1;
}

static_assert(
    std::is_same<decltype(&BOOTSTRAP_PROXY_ENTRY), ProxyEntryFn>::value,
    "the entry must match what the executable looks up");
