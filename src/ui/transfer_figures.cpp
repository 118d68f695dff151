#include "ui/transfer_figures.h"

#include <math.h>
#include <stdio.h>

namespace {

const double kSettleSeconds = 1.0;
// An em dash, in UTF-8 as the desktop wants its text.
const char kBeforeRate[] = " \xe2\x80\x94 ";

// "0:00 left" says nothing, and estimates beyond a few days (a stalled
// transfer gives absurd ones) say nothing useful.
bool worthShowing(double secondsLeft) {
  return secondsLeft >= 0.5 && secondsLeft < 100 * 3600;
}

}  // namespace

std::string formatBytes(double bytes) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
  const size_t kLastUnit = sizeof kUnits / sizeof kUnits[0] - 1;
  size_t unit = 0;
  // Switch units before one decimal would round up to "1024.0".
  while (bytes >= 1023.95 && unit < kLastUnit) {
    bytes /= 1024;
    ++unit;
  }
  char text[32];
  snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes,
           kUnits[unit]);
  return text;
}

std::string formatDuration(double seconds) {
  long long total = llround(seconds);
  long long hours = total / 3600, minutes = total / 60 % 60, secs = total % 60;
  char text[32];
  if (hours > 0)
    snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, secs);
  else
    snprintf(text, sizeof text, "%lld:%02lld", minutes, secs);
  return text;
}

double averageRate(double bytes, double seconds) {
  return seconds < kSettleSeconds ? 0 : bytes / seconds;
}

std::string transferFigures(const TransferFigures& figures) {
  std::string line = formatBytes(figures.received);
  if (figures.total > 0) line += " of " + formatBytes(figures.total);
  if (figures.bytesPerSecond <= 0) return line;
  line += kBeforeRate + formatBytes(figures.bytesPerSecond) + "/s";
  if (figures.total <= 0) return line;
  double secondsLeft =
      (figures.total - figures.received) / figures.bytesPerSecond;
  if (worthShowing(secondsLeft))
    line += ", " + formatDuration(secondsLeft) + " left";
  return line;
}
