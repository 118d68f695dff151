#include "platform/bundle_paths.h"

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

TEST(BundlePaths, DefaultAgentLocationIsBesideThisExecutable) {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  ASSERT_GT(n, 0);
  std::string exe(buffer, static_cast<size_t>(n));
  std::string dir = exe.substr(0, exe.rfind('/'));
  EXPECT_EQ(getDefaultInstallAgentLocation(), dir + "/InstallAgent.zip");
  EXPECT_EQ(getDefaultInstallAgentLocation().find("//"), std::string::npos);
  EXPECT_EQ(getBundleLocation(), dir);
}

}  // namespace
