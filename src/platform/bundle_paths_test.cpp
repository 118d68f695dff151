#include "platform/bundle_paths.h"

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

}  // namespace
