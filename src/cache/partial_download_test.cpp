#include "cache/partial_download.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/scratch_tree.h"

namespace {

const PartialInfo kInfo = {"http://h/a.zip", "\"v1\"", 1000};

// What formatting gives reads back; anything torn, planted or unfit for a
// header line reads as no info at all.
TEST(PartialInfo, OnlyWhatFormattingGivesParses) {
  const std::string good = formatPartialInfo(kInfo);
  PartialInfo parsed;
  ASSERT_TRUE(parsePartialInfo(good, &parsed));
  EXPECT_EQ(parsed.url, kInfo.url);
  EXPECT_EQ(parsed.validator, kInfo.validator);
  EXPECT_EQ(parsed.wholeLength, kInfo.wholeLength);
  const char* const refused[] = {
      "",
      // Torn: a length cut short must not read as a smaller one.
      "url http://h/a.zip\nvalidator \"v1\"\nlength 1000",
      "url http://h/a.zip\nvalidator \"v1\"\nlength 10",
      "url http://h/a.zip\nvalidator \"v1\"\n",
      "url http://h/a.zip\nvalidator \"v1\"\nlength 1000\nx\n",
      "url http://h/a.zip\nvalidator \nlength 1000\n",
      "url \nvalidator \"v1\"\nlength 1000\n",
      "url http://h/a.zip\nvalidator \"v\r1\"\nlength 1000\n",
      "url http://h/a.zip\nvalidator \"v1\"\nlength 0\n",
      "url http://h/a.zip\nvalidator \"v1\"\nlength -5\n",
      "url http://h/a.zip\nvalidator \"v1\"\nlength 1e3\n",
      "validator \"v1\"\nurl http://h/a.zip\nlength 1000\n",
  };
  for (const char* text : refused) {
    PartialInfo info = kInfo;
    EXPECT_FALSE(parsePartialInfo(text, &info)) << text;
    EXPECT_EQ(info.url, kInfo.url) << text;
  }
}

TEST(PartialInfo, OnlyAFreshStartOfTheSameUrlIsWorthResuming) {
  const int64_t day = 24 * 3600;
  const struct {
    const char* url;
    int64_t bytes;
    int64_t age;
    bool worth;
  } cases[] = {
      {"http://h/a.zip", 500, 60, true},
      {"http://h/a.zip", 1, 6 * day, true},
      {"http://h/a.zip", 999, 0, true},
      {"http://h/b.zip", 500, 60, false},
      {"http://h/a.zip", 0, 60, false},
      {"http://h/a.zip", 1000, 60, false},
      {"http://h/a.zip", 1200, 60, false},
      {"http://h/a.zip", 500, 7 * day, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(isWorthResuming(kInfo, c.url, c.bytes, c.age), c.worth)
        << c.url << " " << c.bytes << " bytes, " << c.age << " s old";
}

// Leaves bytes and info as a run that was cut short would.
void leaveBytes(const std::string& dir, const std::string& bytes) {
  PartialDownload partial;
  ASSERT_TRUE(partial.claim(dir));
  PartialInfo info;
  EXPECT_EQ(partial.heldFor(kInfo.url, &info), 0);
  partial.describe(kInfo);
  ASSERT_EQ(write(partial.fd(), bytes.data(), bytes.size()),
            static_cast<ssize_t>(bytes.size()));
  partial.keep();
}

TEST(PartialDownload, KeptBytesAreOfferedToTheNextRunOfTheSameUrl) {
  ScratchTree tree;
  const std::string dir = tree.path() + "/";
  leaveBytes(dir, std::string(400, 'x'));
  struct stat st;
  ASSERT_EQ(stat(tree.at(".partial-download").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  {
    PartialDownload partial;
    ASSERT_TRUE(partial.claim(dir));
    PartialDownload second;
    EXPECT_FALSE(second.claim(dir));  // one run at a time
    PartialInfo info;
    EXPECT_EQ(partial.heldFor(kInfo.url, &info), 400);
    EXPECT_EQ(info.validator, kInfo.validator);
    EXPECT_EQ(info.wholeLength, kInfo.wholeLength);
  }  // gone without a decision: kept
  {
    PartialDownload partial;
    ASSERT_TRUE(partial.claim(dir));
    PartialInfo info;
    EXPECT_EQ(partial.heldFor("http://h/other.zip", &info), 0);
  }  // another URL's bytes are not kept for it
  EXPECT_EQ(listDir(tree.path()),
            std::vector<std::string>{".partial-download.lock"});
}

// How a run's end leaves the cache: only described bytes short of the
// whole stay, and the info with them.
TEST(PartialDownload, OnlyDescribedBytesShortOfTheWholeStay) {
  const std::vector<std::string> kept = {
      ".partial-download", ".partial-download.info", ".partial-download.lock"};
  const std::vector<std::string> none = {".partial-download.lock"};
  PartialInfo noValidator = kInfo;
  noValidator.validator.clear();
  PartialInfo noLength = kInfo;
  noLength.wholeLength = -1;
  const struct {
    const char* name;
    PartialInfo info;
    size_t bytes;
    bool discard;
    std::vector<std::string> left;
  } cases[] = {
      {"cut short", kInfo, 400, false, kept},
      {"discarded", kInfo, 400, true, none},
      {"nothing received", kInfo, 0, false, none},
      {"all received", kInfo, 1000, false, none},
      {"no validator", noValidator, 400, false, none},
      {"no length", noLength, 400, false, none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchTree tree;
    {
      PartialDownload partial;
      ASSERT_TRUE(partial.claim(tree.path() + "/"));
      PartialInfo info;
      partial.heldFor(kInfo.url, &info);
      partial.describe(c.info);
      std::string bytes(c.bytes, 'x');
      ASSERT_EQ(write(partial.fd(), bytes.data(), bytes.size()),
                static_cast<ssize_t>(bytes.size()));
      if (c.discard)
        partial.discard();
      else
        partial.keep();
    }
    EXPECT_EQ(listDir(tree.path()), c.left);
  }
}

// Bytes kept a week ago or more are dropped, not resumed.
TEST(PartialDownload, AWeekOldPartialDownloadIsDropped) {
  ScratchTree tree;
  const std::string dir = tree.path() + "/";
  leaveBytes(dir, std::string(400, 'x'));
  struct timeval old[2] = {{time(nullptr) - 7 * 24 * 3600 - 60, 0},
                           {time(nullptr) - 7 * 24 * 3600 - 60, 0}};
  ASSERT_EQ(utimes(tree.at(".partial-download").c_str(), old), 0);
  PartialDownload partial;
  ASSERT_TRUE(partial.claim(dir));
  PartialInfo info;
  EXPECT_EQ(partial.heldFor(kInfo.url, &info), 0);
}

// A link or someone else's file in its place is neither followed nor used.
TEST(PartialDownload, NothingPlantedIsFollowedOrUsed) {
  ScratchTree tree;
  const std::string dir = tree.path() + "/";
  writeFile(tree.at("target"), "keep");
  ASSERT_EQ(symlink(tree.at("target").c_str(),
                    tree.at(".partial-download").c_str()),
            0);
  {
    PartialDownload partial;
    ASSERT_TRUE(partial.claim(dir));
    PartialInfo info;
    EXPECT_EQ(partial.heldFor(kInfo.url, &info), 0);
    partial.describe(kInfo);
    ASSERT_EQ(write(partial.fd(), "abc", 3), 3);
    partial.keep();
  }
  EXPECT_EQ(readFile(tree.at("target")), "keep");
  struct stat st;
  ASSERT_EQ(lstat(tree.at(".partial-download").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  // Bytes others could have written are not gone on from.
  ASSERT_EQ(chmod(tree.at(".partial-download").c_str(), 0666), 0);
  PartialDownload partial;
  ASSERT_TRUE(partial.claim(dir));
  PartialInfo info;
  EXPECT_EQ(partial.heldFor(kInfo.url, &info), 0);
}

}  // namespace
