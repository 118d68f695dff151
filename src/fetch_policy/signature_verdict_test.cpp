#include "fetch_policy/signature_verdict.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace {

SignatureRecord signedAt(std::optional<int64_t> seconds) {
  SignatureRecord record;
  record.hasTimestamp = seconds.has_value();
  record.timestamp = seconds.value_or(0);
  return record;
}

// floor: the newest time taken from the URL with the key, if any.
TEST(RollbackFloor, NeitherAnOlderNorAnUntimedAgentPassesATimedFloor) {
  const std::optional<int64_t> none;
  const struct {
    const char* name;
    std::optional<int64_t> signedAt, floor;
    bool passes;
    const char* why;  // the refusal, or the note of an untimed one taken
  } cases[] = {
      {"first timed", 1000, none, true, ""},
      {"newer", 2000, 1000, true, ""},
      {"as new", 1000, 1000, true, ""},
      {"older", 999, 1000, false,
       "signed at 1970-01-01 00:16:39 UTC, before an agent already taken "
       "from this URL with this key (signed at 1970-01-01 00:16:40 UTC)"},
      {"untimed, never a time", none, none, true, "has no timestamp"},
      {"untimed after a timed one", none, 1000, false, "has no timestamp"},
  };
  for (const auto& c : cases) {
    std::string why = "stale";
    EXPECT_EQ(passesRollbackFloor(signedAt(c.signedAt), c.floor, &why),
              c.passes)
        << c.name;
    if (*c.why)
      EXPECT_NE(why.find(c.why), std::string::npos) << c.name << ": " << why;
    else
      EXPECT_EQ(why, "") << c.name;
  }
}

}  // namespace
