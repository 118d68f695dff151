#ifndef BOOTSTRAP_UI_GTK_PROXY_LOOKUP_H_
#define BOOTSTRAP_UI_GTK_PROXY_LOOKUP_H_

#include <gio/gio.h>

#include <chrono>
#include <functional>
#include <string>

// A question to a proxy resolver: true with its answer (one proxy URI per
// line), else false with a one-line reason. It should give up once
// cancellable is cancelled, but need not.
using ProxyQuestion = std::function<bool(
    GCancellable* cancellable, std::string* answer, std::string* why)>;

// The question for the desktop's proxies for url, to GIO's default
// resolver, which reads the desktop's settings.
ProxyQuestion desktopProxiesQuestion(const std::string& url);

// How often a wait asks whether its caller has stopped waiting.
const std::chrono::milliseconds kStopCheckInterval(50);

// Asks on a thread of its own and waits at most timeout for the answer, and
// not once stopped() says so: a resolver may wait on a helper process or a
// configuration server. A question not answered then is cancelled and left
// to end alone, and the reason says so.
bool askWithin(const ProxyQuestion& question, std::chrono::milliseconds timeout,
               const std::function<bool()>& stopped, std::string* answer,
               std::string* why);

#endif
