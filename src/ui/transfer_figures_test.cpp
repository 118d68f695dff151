#include "ui/transfer_figures.h"

#include <gtest/gtest.h>

namespace {

const double kMiB = 1024 * 1024, kGiB = kMiB * 1024;

TEST(TransferFigures, BytesDurationsAndRates) {
  const std::pair<double, const char*> bytes[] = {
      {1023, "1023 B"},          {1024, "1.0 KiB"},
      {kMiB - 1, "1.0 MiB"},  // not "1024.0 KiB"
      {12.5 * kMiB, "12.5 MiB"}, {2048 * 1024 * kGiB, "2048.0 TiB"},
  };
  for (const auto& c : bytes) EXPECT_EQ(formatBytes(c.first), c.second);
  const std::pair<double, const char*> durations[] = {
      {7.4, "0:07"}, {59.6, "1:00"}, {3599, "59:59"}, {3723, "1:02:03"}};
  for (const auto& c : durations) EXPECT_EQ(formatDuration(c.first), c.second);
  // Unknown (0) until a second has passed, and never a division by zero.
  const struct {
    double bytes, seconds, rate;
  } rates[] = {{1000, 0, 0}, {1000, 0.99, 0}, {1000, 1, 1000}, {0, 4, 0},
               {3000, 2, 1500}};
  for (const auto& c : rates)
    EXPECT_EQ(averageRate(c.bytes, c.seconds), c.rate) << c.seconds;
}

TEST(TransferFigures, ShowWhatIsKnown) {
  struct {
    double received, total, rate;
    const char* line;
  } cases[] = {
      // Until the rate is known, neither it nor the time left.
      {12.5 * kMiB, 32 * kMiB, 0, "12.5 MiB of 32.0 MiB"},
      {12.5 * kMiB, 32 * kMiB, 1.2 * kMiB,
       "12.5 MiB of 32.0 MiB \u2014 1.2 MiB/s, 0:16 left"},
      {12.5 * kMiB, 0, 1.2 * kMiB, "12.5 MiB \u2014 1.2 MiB/s"},
      {12.5 * kMiB, -1, 0, "12.5 MiB"},
      // Over an hour left.
      {1 * kMiB, 8 * kGiB, 1.5 * kMiB,
       "1.0 MiB of 8.0 GiB \u2014 1.5 MiB/s, 1:31:01 left"},
      // Neither "0:00 left" nor an absurd estimate for a stalled transfer.
      {31.9 * kMiB, 32 * kMiB, 1.5 * kMiB,
       "31.9 MiB of 32.0 MiB \u2014 1.5 MiB/s"},
      {1, 32 * kGiB, 1, "1 B of 32.0 GiB \u2014 1 B/s"},
      // The whole, at its end.
      {32 * kMiB, 32 * kMiB, 1.5 * kMiB,
       "32.0 MiB of 32.0 MiB \u2014 1.5 MiB/s"},
      {512, 0, 0, "512 B"},
  };
  for (const auto& c : cases) {
    TransferFigures figures;
    figures.received = c.received;
    figures.total = c.total;
    figures.bytesPerSecond = c.rate;
    EXPECT_EQ(transferFigures(figures), c.line);
  }
}

}  // namespace
