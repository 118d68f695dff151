#ifndef BOOTSTRAP_UI_TRANSFER_FIGURES_H_
#define BOOTSTRAP_UI_TRANSFER_FIGURES_H_

#include <string>

// "512 B", "12.5 KiB", "32.0 MiB", ...
std::string formatBytes(double bytes);

// "0:07", "12:05", "1:02:03", rounded to whole seconds.
std::string formatDuration(double seconds);

// The average rate of bytes that took seconds to arrive; 0 (unknown) until
// a second has passed, since the first moments swing too much to be worth
// showing.
double averageRate(double bytes, double seconds);

struct TransferFigures {
  double received = 0;
  double total = 0;           // unknown unless positive
  double bytesPerSecond = 0;  // unknown unless positive
};

// How much of what has arrived, how fast and how long the rest will take,
// e.g. "12.5 MiB of 32.0 MiB — 1.2 MiB/s, 0:17 left" or "12.5 MiB —
// 1.2 MiB/s"; the total, the rate and the time left only when known. The
// console's live line and the desktop window's detail line both show it.
std::string transferFigures(const TransferFigures& figures);

#endif
