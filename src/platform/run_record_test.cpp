#include "platform/run_record.h"

#include <gtest/gtest.h>

namespace {

// A long run keeps its latest lines within the bound; the agent's last
// words are kept apart for the window, and in order with the rest.
TEST(RunRecord, KeepsTheLatestLinesWithinItsBound) {
  recordLine(std::string(kMaxRecordedLine + 10, 'x'));
  EXPECT_EQ(recordedLines().back(),
            std::string(kMaxRecordedLine - 3, 'x') + "...");

  for (int i = 0; i < 10000; ++i) recordLine("line " + std::to_string(i));
  recordAgentLastLines({"cannot write"});
  const std::vector<std::string> kept = recordedLines();
  size_t bytes = 0;
  for (const std::string& line : kept) bytes += line.size() + 1;
  EXPECT_LE(bytes, kMaxRecordedBytes);
  EXPECT_GT(bytes, kMaxRecordedBytes - kMaxRecordedLine);
  ASSERT_GE(kept.size(), 3u);
  EXPECT_EQ(kept[kept.size() - 3], "line 9999");
  EXPECT_EQ(kept.back(), "  cannot write");
  EXPECT_EQ(agentLastLines(), std::vector<std::string>{"cannot write"});
  EXPECT_EQ(recordedText().substr(recordedText().size() - 15),
            "  cannot write\n");
}

}  // namespace
