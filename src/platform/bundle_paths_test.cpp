#include "platform/bundle_paths.h"

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

TEST(BundlePaths, BundleForExecutable) {
  const std::string app = "/Apps/Setup.app";
  const struct {
    std::string exe, bundle, resources;
  } cases[] = {
      {app + "/Contents/MacOS/setup", app, app + "/Contents/Resources"},
      {"/opt/kit/setup", "/opt/kit", "/opt/kit"},
      {"/setup", "/", "/"},
      {"/x/Contents/MacOS/setup", "/x/Contents/MacOS", "/x/Contents/MacOS"},
      {"/.app/Contents/MacOS/s", "/.app/Contents/MacOS",
       "/.app/Contents/MacOS"},
      {app + "/Contents/setup", app + "/Contents", app + "/Contents"}};
  for (const auto& c : cases) {
    MainBundle bundle = bundleForExecutable(c.exe);
    EXPECT_TRUE(bundle.present) << c.exe;
    EXPECT_EQ(bundle.bundlePath, c.bundle) << c.exe;
    EXPECT_EQ(bundle.resourcePath, c.resources) << c.exe;
  }
  EXPECT_FALSE(bundleForExecutable("").present);
}

TEST(BundlePaths, CutAtLastSeparator) {
  const std::pair<std::string, std::string> cases[] = {
      {"/a/b/c", "/a/b"}, {"a\\b\\c", "a\\b"},
      {"a/b\\c", "a/b"},  {"a\\b/c", "a\\b"},
      {"plain", "plain"}, {"/a/b/", "/a/b"},
      {"/a", ""},         {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(cutAtLastSeparator(c.first), c.second);
}

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
