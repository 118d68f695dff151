#include "provisioning/version_order.h"

#include <gtest/gtest.h>

namespace {

// In the order that sort -V puts "InstallAgent_<version>.zip" names.
const char* const kAscending[] = {
    "", "01", "1", "1.0", "1.2~rc1", "1.2", "1.2a", "1.2-beta", "1.2.0",
    "1.9", "1.9.1", "1.010", "1.10", "2", "5", "10", "99999999999999999999",
    "100000000000000000000", "a", "a9", "a10", "b", ".5"};

TEST(VersionOrder, AsSortVersionOrdersThem) {
  const size_t count = sizeof kAscending / sizeof kAscending[0];
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(compareVersions(kAscending[i], kAscending[i]), 0);
    for (size_t j = i + 1; j < count; ++j) {
      EXPECT_LT(compareVersions(kAscending[i], kAscending[j]), 0)
          << kAscending[i] << " < " << kAscending[j];
      EXPECT_GT(compareVersions(kAscending[j], kAscending[i]), 0)
          << kAscending[j] << " > " << kAscending[i];
    }
  }
}

}  // namespace
