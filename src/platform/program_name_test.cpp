#include "platform/program_name.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/executable_path.h"

namespace {

// The log and the journal hint need the short name: a path would not
// match the journal's identifier.
TEST(ProgramName, IsTheShortNameThisProgramWasStartedBy) {
  const std::string name = programName();
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(name.find('/'), std::string::npos) << name;
  const std::string exe = executablePath();
  EXPECT_EQ(name, exe.substr(exe.rfind('/') + 1));
}

}  // namespace
