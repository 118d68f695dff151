#include "bootstrap/bootstrap_sequence.h"

#include <gtest/gtest.h>

#include "bootstrap/console_reporter.h"
#include "platform/bundle_paths.h"

namespace {

void ignore(const std::string&, bool) {}

TEST(BootstrapSequence, WorkingDirectory) {
  const std::string exeDir = getDirectoryOfExecutable(),
                    scratch = "/tmp/zrAbc123";
  ASSERT_FALSE(exeDir.empty());
  EXPECT_EQ(chooseWorkingDirectory(scratch, false), scratch);
  EXPECT_EQ(chooseWorkingDirectory("", false), exeDir);
  EXPECT_EQ(chooseWorkingDirectory(scratch, true), exeDir);
  EXPECT_EQ(extractPayloadToDir(scratch, true, ignore), 0);
}

// The main reporter also keeps its errors, and only those, for the
// failure window.
TEST(BootstrapSequence, ConsoleReporterSplitsStreams) {
  const std::string withNul("before\0after", 12);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  report_message_to_console("problem", true);
  report_message_to_console("progress", false);
  report_message_to_console(withNul, true);
  report_message_main("main error", true);
  report_message_main("main progress", false);
  report_message_main("Installation failed.", true);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "problem\n" + withNul + "\nmain error\nInstallation failed.\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "progress\nmain progress\n");
  EXPECT_EQ(reportedErrors(),
            (std::vector<std::string>{"main error", "Installation failed."}));
}

}  // namespace
