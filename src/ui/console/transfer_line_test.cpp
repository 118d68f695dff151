#include "ui/console/transfer_line.h"

#include <gtest/gtest.h>

namespace {

const double kMiB = 1024 * 1024, kGiB = kMiB * 1024;

TEST(TransferLine, BytesAndDurations) {
  const std::pair<double, const char*> bytes[] = {
      {1023, "1023 B"},          {1024, "1.0 KiB"},
      {kMiB - 1, "1.0 MiB"},  // not "1024.0 KiB"
      {12.5 * kMiB, "12.5 MiB"}, {2048 * 1024 * kGiB, "2048.0 TiB"},
  };
  for (const auto& c : bytes) EXPECT_EQ(formatBytes(c.first), c.second);
  const std::pair<double, const char*> durations[] = {
      {7.4, "0:07"}, {59.6, "1:00"}, {3599, "59:59"}, {3723, "1:02:03"}};
  for (const auto& c : durations) EXPECT_EQ(formatDuration(c.first), c.second);
}

TEST(TransferLine, ShowsWhatIsKnown) {
  struct {
    const char* status;
    double received, total, rate;
    const char* line;
  } cases[] = {
      {"Downloading", 12.5 * kMiB, 32 * kMiB, 0,
       "Downloading: 12.5 MiB of 32.0 MiB"},
      {"Downloading", 12.5 * kMiB, 32 * kMiB, 1.5 * kMiB,
       "Downloading: 12.5 MiB of 32.0 MiB at 1.5 MiB/s, 0:13 left"},
      {"Downloading", 12.5 * kMiB, 0, 1.5 * kMiB,
       "Downloading: 12.5 MiB at 1.5 MiB/s"},
      // Neither "0:00 left" nor an absurd estimate for a stalled transfer.
      {"Downloading", 31.5 * kMiB, 32 * kMiB, 1.5 * kMiB,
       "Downloading: 31.5 MiB of 32.0 MiB at 1.5 MiB/s"},
      {"Downloading", 1, 32 * kGiB, 1, "Downloading: 1 B of 32.0 GiB at 1 B/s"},
      {"", 512, -1, 0, "512 B"},
  };
  for (const auto& c : cases) {
    TransferFigures figures;
    figures.received = c.received;
    figures.total = c.total;
    figures.bytesPerSecond = c.rate;
    EXPECT_EQ(transferLine(c.status, figures), c.line);
  }
}

}  // namespace
