#ifndef BOOTSTRAP_UI_CONSOLE_TRANSFER_LINE_H_
#define BOOTSTRAP_UI_CONSOLE_TRANSFER_LINE_H_

#include <string>

// "512 B", "12.5 KiB", "32.0 MiB", ...
std::string formatBytes(double bytes);

// "0:07", "12:05", "1:02:03", rounded to whole seconds.
std::string formatDuration(double seconds);

struct TransferFigures {
  double received = 0;
  double total = 0;           // unknown unless positive
  double bytesPerSecond = 0;  // unknown unless positive
};

// The console's live progress line, e.g.
// "Downloading: 12.5 MiB of 32.0 MiB at 1.2 MiB/s, 0:17 left"; the total,
// the rate and the time left only when known.
std::string transferLine(const std::string& status,
                         const TransferFigures& figures);

#endif
