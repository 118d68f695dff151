#include "cache/update.h"

#include <stdio.h>

#include <chrono>
#include <future>

#include <gtest/gtest.h>

#include "cache/lock.h"

#include "support/scratch_tree.h"

namespace {

using Strings = std::vector<std::string>;
std::vector<std::string> reports;
void record(const std::string& message, bool) { reports.push_back(message); }

// A cache directory (ending in "/") holding an old agent and its marker.
struct Cache {
  ScratchTree tree;
  std::string dir = tree.at("cache/");
  std::string fallback = tree.at("scratch/");
  std::string url = "http://a.test/agent.zip";

  Cache() {
    makeDirs(fallback);
    makeDirs(dir + "installagent");
    writeFile(dir + ".sourceurl", url);
    writeFile(dir + "installagent/install", "old agent");
    writeFile(dir + "installagent/old-only", "");
    writeFile(dir + ".validatestring", "\"old\"");
    makeDirs(tree.at("src"));
  }

  std::string archive(const Strings& files) {
    for (const std::string& file : files)
      writeFile(tree.at("src/" + file), "new " + file);
    std::string zip = tree.at("new.zip");
    makeZip(zip, tree.at("src"), files);
    return zip;
  }
};

TEST(InstallDownloadedAgent, ReplacesAgentThenStampsMarker) {
  const std::pair<std::string, std::string> cases[] = {
      {"\"new\"", "\"new\""},
      {"W/\"weak\"", "W/\"weak\""},
      {"", "(none)"},  // no ETag: nothing may vouch for the new agent
  };
  for (const auto& c : cases) {
    Cache cache;
    reports.clear();
    ASSERT_EQ(installDownloadedAgent(cache.archive({"install"}), cache.dir,
                                     c.first, cache.url, cache.fallback, record),
              cache.dir);
    EXPECT_EQ(readFile(cache.dir + "installagent/install"), "new install");
    EXPECT_EQ(listDir(cache.dir + "installagent"), Strings{"install"});
    std::string marker = cache.dir + ".validatestring";
    EXPECT_EQ(pathExists(marker) ? readFile(marker) : "(none)", c.second);
    Strings left = {".agent-in-use", ".lock", ".sourceurl", ".validatestring",
                    "installagent"};
    if (c.first.empty()) left.erase(left.begin() + 2, left.begin() + 4);
    EXPECT_EQ(listDir(cache.dir), left) << "staging or old agent left behind";
    EXPECT_EQ(reports, Strings{});
  }
}

TEST(InstallDownloadedAgent, FailureKeepsPreviousAgentAndMarker) {
  struct Case {
    const char* name;
    Strings files;  // empty: the body is no zip archive at all
  };
  const Case cases[] = {{"not a zip", {}}, {"no install", {"setup.sh"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Cache cache;
    std::string archive = cache.tree.at("body");
    if (c.files.empty())
      writeFile(archive, "<html>error page</html>");
    else
      archive = cache.archive(c.files);
    EXPECT_EQ(installDownloadedAgent(archive, cache.dir, "\"new\"", cache.url,
                                     cache.fallback, record),
              "");
    EXPECT_EQ(readFile(cache.dir + "installagent/install"), "old agent");
    EXPECT_EQ(readFile(cache.dir + ".validatestring"), "\"old\"");
    EXPECT_EQ(listDir(cache.dir),
              (Strings{".lock", ".sourceurl", ".validatestring",
                       "installagent"}))
        << "staging left behind";
  }
}

TEST(InstallDownloadedAgent, FirstAgentIntoEmptyCache) {
  ScratchTree tree;
  std::string dir = tree.at("cache/");
  makeDirs(dir + "installagent");  // made empty before the window opens
  makeDirs(tree.at("src"));
  writeFile(tree.at("src/install"), "agent");
  makeZip(tree.at("a.zip"), tree.at("src"), {"install"});
  ASSERT_EQ(installDownloadedAgent(tree.at("a.zip"), dir, "e1", "u", "", record),
            dir);
  EXPECT_EQ(readFile(dir + "installagent/install"), "agent");
  EXPECT_EQ(readFile(dir + ".validatestring"), "e1");
}

// A second run that downloaded the same archive keeps the agent the first
// put in place, which may be running by now; a different one replaces it.
TEST(InstallDownloadedAgent, AnEqualAgentAlreadyInPlaceStays) {
  const struct {
    const char* etag;
    bool sameUrl;
    const char* agentAfter;
  } cases[] = {
      {"\"old\"", true, "old agent"},
      {"\"new\"", true, "new install"},
      {"", true, "new install"},  // nothing vouches for either
      {"\"old\"", false, "new install"},  // equal ETags of two URLs
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.etag) + (c.sameUrl ? "" : " other URL"));
    Cache cache;
    const std::string url = c.sameUrl ? cache.url : "http://b.test/other.zip";
    ASSERT_EQ(installDownloadedAgent(cache.archive({"install"}), cache.dir,
                                     c.etag, url, cache.fallback, record),
              cache.dir);
    EXPECT_EQ(readFile(cache.dir + "installagent/install"), c.agentAfter);
    if (*c.etag) {
      EXPECT_EQ(readFile(cache.dir + ".sourceurl"), url);
    }
    Strings left = {".agent-in-use", ".lock", ".sourceurl", ".validatestring",
                    "installagent"};
    if (!*c.etag) left.erase(left.begin() + 2, left.begin() + 4);
    EXPECT_EQ(listDir(cache.dir), left);
  }
}

// The swap waits while another run holds the cache's lock.
TEST(InstallDownloadedAgent, WaitsForTheLock) {
  Cache cache;
  std::string archive = cache.archive({"install"});
  std::future<std::string> installed;
  {
    CacheLock other(cache.dir);
    ASSERT_TRUE(other.held());
    installed = std::async(std::launch::async, [&] {
      return installDownloadedAgent(archive, cache.dir, "\"new\"", cache.url,
                                    cache.fallback, record);
    });
    EXPECT_EQ(installed.wait_for(std::chrono::milliseconds(500)),
              std::future_status::timeout);
    EXPECT_EQ(readFile(cache.dir + "installagent/install"), "old agent");
  }
  ASSERT_EQ(installed.wait_for(std::chrono::seconds(5)),
            std::future_status::ready);
  EXPECT_EQ(installed.get(), cache.dir);
  EXPECT_EQ(readFile(cache.dir + "installagent/install"), "new install");
}

TEST(ClaimCachedAgent, NeedsAPlainInstallTheSameETagAndTheSameUrl) {
  const struct {
    const char* etag;
    const char* install;  // "" none, "dir" a directory of that name
    const char* url;      // what .sourceurl holds; null: no such file
    bool current;
  } cases[] = {
      {"\"old\"", "file", "http://a.test/agent.zip", true},
      {"\"old\"", "", "http://a.test/agent.zip", false},
      {"\"old\"", "dir", "http://a.test/agent.zip", false},
      {"\"new\"", "file", "http://a.test/agent.zip", false},
      {"", "file", "http://a.test/agent.zip", false},
      {"\"old\"", "file", "http://b.test/agent.zip", false},
      {"\"old\"", "file", nullptr, false},  // filled by an older version
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.etag) + " " + c.install + " " +
                 (c.url ? c.url : "no URL"));
    Cache cache;
    const std::string install = cache.dir + "installagent/install";
    if (std::string(c.install) != "file") remove(install.c_str());
    if (std::string(c.install) == "dir") makeDirs(install);
    if (c.url)
      writeFile(cache.dir + ".sourceurl", c.url);
    else
      remove((cache.dir + ".sourceurl").c_str());
    EXPECT_EQ(claimCachedAgent(cache.dir, c.etag, "http://a.test/agent.zip"),
              c.current);
  }
}

// An agent that a run holds in use keeps its files: a run with a newer
// agent leaves the cache alone and puts its agent into its own directory.
TEST(InstallDownloadedAgent, AnAgentInUseIsNeverReplaced) {
  Cache cache;
  ASSERT_TRUE(claimCachedAgent(cache.dir, "\"old\"", cache.url));
  // The claim above stands for another run: its lock is on another open
  // file than the one the replacement tries.
  EXPECT_EQ(installDownloadedAgent(cache.archive({"install"}), cache.dir,
                                   "\"new\"", cache.url, cache.fallback,
                                   record),
            cache.fallback);
  EXPECT_EQ(readFile(cache.fallback + "installagent/install"), "new install");
  EXPECT_EQ(readFile(cache.dir + "installagent/install"), "old agent");
  EXPECT_EQ(readFile(cache.dir + ".validatestring"), "\"old\"");
  EXPECT_EQ(listDir(cache.dir),
            (Strings{".agent-in-use", ".lock", ".sourceurl", ".validatestring",
                     "installagent"}));
}

}  // namespace
