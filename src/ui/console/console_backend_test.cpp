#include "ui/console/console_backend.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ui/loop_test_support.h"

namespace {

// A console window writing into memory.
struct Console {
  explicit Console(bool terminal)
      : stream(open_memstream(&buffer, &size)),
        backend(makeConsoleBackend(stream, terminal)),
        w(backend->outlets()) {}
  ~Console() {
    backend.reset();
    fclose(stream);
    free(buffer);
  }
  // All written so far; finished ends the window first.
  std::string text(bool finished = false) {
    if (finished) backend.reset();
    fflush(stream);
    return std::string(buffer, size);
  }

  char* buffer = nullptr;
  size_t size = 0;
  FILE* stream;
  std::unique_ptr<UiBackend> backend;
  const DownloadWindowOutlets w;
};

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// What the download controller does to the window.
void download(const DownloadWindowOutlets& w, int chunks, double chunkSize,
              bool knownLength) {
  w.progress->setDoubleValue(0);
  if (knownLength) w.progress->setMaxValue(chunks * chunkSize);
  w.progress->setIndeterminate(!knownLength);
  for (int i = 0; i < chunks; ++i) {
    w.downloadPercent->setStringValue("Downloading");
    w.progress->incrementBy(chunkSize);
    w.window->refresh();
  }
}

void unpack(const DownloadWindowOutlets& w) {
  w.downloadPercent->setStringValue("Initializing the installer");
  w.progress->setIndeterminate(true);
  w.progress->startAnimation();
  w.window->refresh();
}

TEST(ConsoleWindow, PlainStreamGetsEachStatusOnceAndNoChunks) {
  Console console(false);
  download(console.w, 10000, 1000, true);
  unpack(console.w);
  console.w.window->close();
  EXPECT_EQ(console.text(true), "Downloading\nInitializing the installer\n");
}

TEST(ConsoleWindow, TerminalLineIsRedrawnInPlaceAtMostTenTimesASecond) {
  for (bool knownLength : {true, false}) {
    SCOPED_TRACE(knownLength);
    Console console(true);
    auto start = std::chrono::steady_clock::now();
    download(console.w, 10000, 1000, knownLength);
    std::chrono::duration<double> took =
        std::chrono::steady_clock::now() - start;
    unpack(console.w);
    console.w.window->close();
    std::string text = console.text(true);
    // The first state, one a tenth of a second, the last one held back
    // and the unpacking line.
    long draws = std::count(text.begin(), text.end(), '\r');
    EXPECT_GE(draws, 3);
    EXPECT_LE(draws, 4 + long(took.count() * 10)) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_EQ(text.compare(0, 14, "\rDownloading: "), 0) << text;
    std::string last = knownLength ? "\rDownloading: 9.5 MiB of 9.5 MiB"
                                   : "\rDownloading: 9.5 MiB";
    size_t at = text.rfind(last);
    ASSERT_NE(at, std::string::npos) << text;
    std::string line = text.substr(at + 1, text.find('\n', at) - at);
    EXPECT_TRUE(endsWith(line, "\033[K\n")) << line;
    EXPECT_EQ(knownLength, line.find(" of ") != std::string::npos) << line;
    // Unpacking has no bytes of its own to show.
    EXPECT_TRUE(endsWith(text, "\rInitializing the installer\033[K\n"));
  }
}

TEST(ConsoleWindow, TerminalLineShowsRateAndTimeLeftOnceMeasured) {
  Console console(true);
  download(console.w, 1, 1 << 20, true);
  console.w.progress->setMaxValue(1000 << 20);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  console.w.progress->incrementBy(1 << 20);
  console.w.window->refresh();
  std::string text = console.text(true);  // the end of the window ends the line
  const std::string figures = "\rDownloading: 2.0 MiB of 1000.0 MiB \u2014 ";
  size_t at = text.rfind(figures);
  ASSERT_NE(at, std::string::npos) << text;
  std::string rest = text.substr(at + figures.size());
  EXPECT_NE(rest.find("iB/s, "), std::string::npos) << rest;
  EXPECT_TRUE(endsWith(rest, " left\033[K\n")) << rest;
}

TEST(ConsoleWindow, FailureIsPrintedAsIsThenTheWindowClosesThroughTheLoop) {
  const std::string message = "Could not reach the server.\nTry again.";
  for (bool terminal : {false, true}) {
    SCOPED_TRACE(terminal);
    Console console(terminal);
    const DownloadWindowOutlets& w = console.w;
    int handlerRuns = 0;
    w.window->setCloseHandler([&] {
      ++handlerRuns;
      console.backend->loop().stop(9);
    });
    download(w, 3, 1000, true);
    w.progress->setDoubleValue(w.progress->maxValue());
    w.downloadPercent->setStringValue(message);
    w.downloadPercent->setTextColor(TextColor::kRed);
    w.window->refresh();
    w.window->refresh();
    EXPECT_EQ(handlerRuns, 0);  // not from inside the caller's refresh
    EXPECT_EQ(runWithWatchdog(console.backend->loop()), 9);
    w.window->close();
    EXPECT_EQ(handlerRuns, 1);
    std::string before = terminal ? "\rDownloading: 2.9 KiB of 2.9 KiB\033[K\n"
                                  : "Downloading\n";
    EXPECT_TRUE(endsWith(console.text(), before + message + "\n"))
        << console.text();
  }
}

}  // namespace
