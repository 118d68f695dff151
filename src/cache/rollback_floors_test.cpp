#include "cache/rollback_floors.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cache/locations.h"
#include "cache/signature_record.h"
#include "cache/validation_marker.h"
#include "support/scratch_tree.h"

namespace {

const KeyId kA = {1, 2, 3, 4, 5, 6, 7, 8};
const KeyId kB = {8, 7, 6, 5, 4, 3, 2, 1};

TEST(RollbackFloors, EachUrlAndKeyKeepsItsNewestTimeAndTheLatestAreKept) {
  std::vector<RollbackFloor> floors;
  floors = withFloorRaised(floors, {kA, 2000, "http://a/x"});
  floors = withFloorRaised(floors, {kA, 1000, "http://b/x"});
  floors = withFloorRaised(floors, {kB, 500, "http://a/x"});
  floors = withFloorRaised(floors, {kA, 1500, "http://a/x"});  // never lower
  const std::string text = formatRollbackFloors(floors);
  EXPECT_EQ(text,
            "0102030405060708\t2000\thttp://a/x\n"
            "0807060504030201\t500\thttp://a/x\n"
            "0102030405060708\t1000\thttp://b/x\n");
  std::vector<RollbackFloor> back = parseRollbackFloors(
      text + "torn\t12\n0102030405060708\tx\thttp://c/\n0102030405060708\t9");
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(formatRollbackFloors(back), text);

  for (int i = 0; i < 40; ++i)
    floors = withFloorRaised(floors, {kB, i, "http://" + std::to_string(i)});
  ASSERT_EQ(floors.size(), kMaxRollbackFloors);
  EXPECT_EQ(floors.front().url, "http://39");
}

// A bundle of another URL replacing the cache leaves this URL's floor; a
// cache stamped before floors were kept lends its agent's record.
TEST(RollbackFloors, SurviveTheCacheAndStartFromItsAgent) {
  ScratchTree tree;
  const std::string cache = tree.at("cache") + "/";
  makeDirs(cache);
  writeSourceUrl(cache, "http://a/x");
  SignatureRecord record;
  record.keyId = kA;
  record.hasTimestamp = true;
  record.timestamp = 3000;
  writeSignatureRecord(cache, record);
  EXPECT_EQ(readRollbackFloor(cache, "http://a/x", kA), int64_t{3000});
  EXPECT_EQ(readRollbackFloor(cache, "http://a/x", kB), std::nullopt);

  raiseRollbackFloor(cache, {kA, 4000, "http://a/x"});
  writeSourceUrl(cache, "http://b/x");
  record.timestamp = 100;
  writeSignatureRecord(cache, record);
  EXPECT_EQ(readRollbackFloor(cache, "http://a/x", kA), int64_t{4000});
  EXPECT_EQ(readRollbackFloor(cache, "http://b/x", kA), int64_t{100});
  EXPECT_FALSE(pathExists(cache + ".agentfloors.new"));
}

}  // namespace
