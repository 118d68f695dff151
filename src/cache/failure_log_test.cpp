#include "cache/failure_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "cache/locations.h"
#include "support/scratch_tree.h"

namespace {

// Only the latest failure, the user's alone; never through a link planted
// in its place, never into a cache others could write.
TEST(FailureLog, KeepsTheLatestFailureForTheUserAlone) {
  const struct {
    const char* name;
    std::function<void(const std::string& cache)> before;
    bool kept;
  } cases[] = {
      {"no cache yet", [](const std::string&) {}, true},
      {"an older failure's, readable by all",
       [](const std::string& cache) {
         writeFile(cache + "last-failure.log", "old\nand longer\n");
         chmod((cache + "last-failure.log").c_str(), 0644);
       },
       true},
      {"links planted at both names",
       [](const std::string& cache) {
         symlink("../elsewhere", (cache + "last-failure.log").c_str());
         symlink("../elsewhere", (cache + "last-failure.log.new").c_str());
       },
       true},
      {"cache writable by others",
       [](const std::string& cache) { chmod(cache.c_str(), 0777); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchTree tree;
    const std::string cache =
        getInstallAgentCacheDir(tree.at("home"));
    ASSERT_EQ(mkpath(cache, 0700), 0);
    c.before(cache);

    std::string why;
    const std::string path =
        keepFailureLog(cache, "line one\nline two\n", &why);
    EXPECT_EQ(path.empty(), !c.kept);
    EXPECT_EQ(why.empty(), c.kept) << why;
    EXPECT_FALSE(pathExists(cache + "last-failure.log.new"));
    EXPECT_FALSE(pathExists(tree.at("home") + "/.tarvik/app_installer_cache/"
                            "Q4711x/elsewhere"));
    if (!c.kept) continue;
    EXPECT_EQ(path, cache + "last-failure.log");
    EXPECT_EQ(readFile(path), "line one\nline two\n");
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
}

}  // namespace
