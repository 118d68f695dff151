#include "cache/trust.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

const uid_t kNobody = 65534;
const char kMarker[] =
    "/.tarvik/app_installer_cache/Q4711x/darw64/.validatestring";

// A cache under a HOME in tree, made private; a case then spoils one
// entry of it.
struct TrustCase {
  const char* name;
  std::function<void(const std::string& home)> spoil;
  bool trusted;
  bool usable;  // writable too
  mode_t marker = 0;  // the marker's mode after, when not 0
};

TEST(CacheTrust, OnlyAPrivateCacheOfTheUserIsTrusted) {
  const std::string cacheLevels = "/.tarvik/app_installer_cache/Q4711x/darw64/";
  auto chmodAt = [](const char* relative, mode_t mode) {
    return [=](const std::string& home) {
      ASSERT_EQ(chmod((home + relative).c_str(), mode), 0) << relative;
    };
  };
  const TrustCase cases[] = {
      {"private", [](const std::string&) {}, true, true},
      {"nothing there yet",
       [](const std::string& home) {
         ASSERT_EQ(system(("rm -rf '" + home + "/.tarvik'").c_str()), 0);
       },
       true, false},
      {"top writable by others", chmodAt("/.tarvik", 0777), false, false},
      {"middle writable by the group",
       chmodAt("/.tarvik/app_installer_cache", 0770), false, false},
      {"agent dir writable by others",
       chmodAt("/.tarvik/app_installer_cache/Q4711x/darw64/installagent", 0703),
       false, false},
      // An older install's loose umask: repaired, as nobody else could
      // reach it; others' write goes, read never comes. A second link may
      // be reached from elsewhere: refused.
      {"marker 0666", chmodAt(kMarker, 0666), true, true, 0644},
      {"marker 0620", chmodAt(kMarker, 0620), true, true, 0600},
      {"marker 0662", chmodAt(kMarker, 0662), true, true, 0640},
      {"marker 0666 linked", [&](const std::string& home) {
         chmodAt(kMarker, 0666)(home);
         ASSERT_EQ(link((home + kMarker).c_str(), (home + "/l").c_str()), 0);
       }, false, false, 0666},
      {"marker writable by others in a directory they may enter",
       [&](const std::string& home) {
         ASSERT_EQ(chmod((home + cacheLevels + ".validatestring").c_str(),
                         0666),
                   0);
         ASSERT_EQ(chmod((home + cacheLevels).c_str(), 0777), 0);
       },
       false, false},
      {"level owned by another user",
       [](const std::string& home) {
         ASSERT_EQ(chown((home + "/.tarvik/app_installer_cache/Q4711x").c_str(),
                         kNobody, kNobody),
                   0);
       },
       false, false},
      {"top is a link to a private directory",
       [](const std::string& home) {
         ASSERT_EQ(rename((home + "/.tarvik").c_str(),
                          (home + "/elsewhere").c_str()),
                   0);
         ASSERT_EQ(symlink("elsewhere", (home + "/.tarvik").c_str()), 0);
       },
       false, false},
      {"marker is a link",
       [&](const std::string& home) {
         std::string marker = home + cacheLevels + ".validatestring";
         ASSERT_EQ(remove(marker.c_str()), 0);
         ASSERT_EQ(symlink("/etc/hostname", marker.c_str()), 0);
       },
       false, false},
      {"marker is a directory",
       [&](const std::string& home) {
         std::string marker = home + cacheLevels + ".validatestring";
         ASSERT_EQ(remove(marker.c_str()), 0);
         ASSERT_EQ(mkdir(marker.c_str(), 0700), 0);
       },
       false, false},
      // Permissions do not stop root.
      {"cache read-only", chmodAt("/.tarvik/app_installer_cache/Q4711x/darw64", 0500),
       true, geteuid() == 0},
      {"cache path blocked by a file",
       [](const std::string& home) {
         ASSERT_EQ(system(("rm -rf '" + home + "/.tarvik'").c_str()), 0);
         writeFile(home + "/.tarvik", "");
         ASSERT_EQ(chmod((home + "/.tarvik").c_str(), 0600), 0);
       },
       false, false},
  };
  for (const TrustCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchTree tree;
    std::string home = tree.at("home");
    std::string cache = home + cacheLevels;
    makeDirs(cache + "installagent");
    ASSERT_EQ(system(("chmod -R 0700 '" + home + "/.tarvik'").c_str()), 0);
    writeFile(cache + ".validatestring", "\"v1\"");
    ASSERT_EQ(chmod((cache + ".validatestring").c_str(), 0600), 0);
    c.spoil(home);
    std::string why;
    EXPECT_EQ(isCacheTrusted(cache, &why), c.trusted) << why;
    EXPECT_EQ(why.empty(), c.trusted) << why;
    why.clear();
    EXPECT_EQ(isCacheUsable(cache, &why), c.usable) << why;
    EXPECT_EQ(why.empty(), c.usable) << why;
    struct stat marker;
    const bool hasMarker =
        lstat((cache + ".validatestring").c_str(), &marker) == 0 &&
        S_ISREG(marker.st_mode);
    if (c.trusted && hasMarker) {
      EXPECT_EQ(marker.st_mode & 022, 0u) << "marker not repaired";
    }
    if (c.marker) { EXPECT_EQ(marker.st_mode & 07777, c.marker); }
  }
}

}  // namespace
