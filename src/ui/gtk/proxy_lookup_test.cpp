// The desktop module's proxy lookup, in the test's own process.

#include "ui/gtk/proxy_lookup.h"

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"
#include "ui/desktop_module.h"

extern "C" int BOOTSTRAP_PROXY_ENTRY(const char* url, int timeoutMs,
                                     ProxyStopFn stop, void* context, char* out,
                                     size_t outSize);

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A resolver that is slow, or never answers, is not waited for beyond the
// limit, nor once the caller stops waiting; one that heeds cancelling
// hears of it.
TEST(ProxyLookup, AnAnswerIsWaitedForOnlyUpToTheLimit) {
  auto heardCancel = std::make_shared<std::atomic<bool>>(false);
  const struct {
    const char* name;
    ProxyQuestion question;
    bool callerStops;  // after 100 ms, well within a 20 s limit
    bool ok;
    const char* answer;
    const char* why;
  } cases[] = {
      {"answers",
       [](GCancellable*, std::string* answer, std::string*) {
         *answer = "direct://\n";
         return true;
       },
       false, true, "direct://\n", ""},
      {"fails",
       [](GCancellable*, std::string*, std::string* why) {
         *why = "no D-Bus";
         return false;
       },
       false, false, "", "no D-Bus"},
      {"heeds cancelling",
       [heardCancel](GCancellable* cancellable, std::string*, std::string*) {
         while (!g_cancellable_is_cancelled(cancellable))
           std::this_thread::sleep_for(milliseconds(5));
         *heardCancel = true;
         return false;
       },
       false, false, "", "no answer within 200 ms"},
      {"never answers",
       [](GCancellable*, std::string* answer, std::string*) {
         std::this_thread::sleep_for(milliseconds(3000));
         *answer = "http://late:1\n";
         return true;
       },
       false, false, "", "no answer within 200 ms"},
      {"caller stops",
       [](GCancellable*, std::string*, std::string*) {
         std::this_thread::sleep_for(milliseconds(3000));
         return false;
       },
       true, false, "", "stopped before an answer came"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string answer, why;
    Clock::time_point start = Clock::now();
    auto stopped = [&] {
      return c.callerStops && Clock::now() - start > milliseconds(100);
    };
    milliseconds limit(c.callerStops ? 20000 : 200);
    EXPECT_EQ(askWithin(c.question, limit, stopped, &answer, &why), c.ok);
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(why, c.why);
  }
  for (int i = 0; i < 200 && !*heardCancel; ++i)
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_TRUE(*heardCancel);
}

// GNOME's settings, from a keyfile of the test's own: the resolver's lines
// come whole, as many as fit.
TEST(ProxyLookup, TheDesktopsSettingsComeAsWholeLines) {
  ScratchTree tree;
  makeDirs(tree.at("glib-2.0/settings"));
  writeFile(tree.at("glib-2.0/settings/keyfile"),
            "[system/proxy]\nmode='manual'\nignore-hosts=@as []\n"
            "[system/proxy/socks]\nhost='10.1.2.3'\nport=1080\n");
  setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
  setenv("GSETTINGS_BACKEND", "keyfile", 1);
  setenv("XDG_CONFIG_HOME", tree.path().c_str(), 1);
  const std::string all =
      "socks5://10.1.2.3:1080\nsocks4a://10.1.2.3:1080\nsocks4://"
      "10.1.2.3:1080\n";
  const struct {
    size_t size;
    std::string lines;
  } cases[] = {{256, all},
               {all.size() + 1, all},
               {all.size(), all.substr(0, 47)},
               {10, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    char out[256];
    ASSERT_EQ(BOOTSTRAP_PROXY_ENTRY("http://example.com/a.zip", 5000, nullptr,
                                    nullptr, out, c.size),
              1)
        << out;
    EXPECT_EQ(out, c.lines);
  }
}

}  // namespace
